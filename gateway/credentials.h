#pragma once

#include <QString>

// A user name and a password, kept in a file and never on the command line, where
// every user of the machine can read it.
struct Credentials {
    QString user;
    QString password;
};

// The user name on the first line, the password on the second. Refuses a file that is
// missing, empty, without a password line or readable by anyone but its owner; false
// with the reason in error (a sentence without the file name).
bool read_credentials(const QString& path, Credentials* out, QString* error);
