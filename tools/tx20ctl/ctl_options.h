#pragma once

#include <QString>
#include <QStringList>

#include "tools/tx20ctl/ctl_serve.h"

// The command line of tx20ctl, checked but not yet acted on.
struct CtlOptions {
    enum class Command {
        None,
        Live,
        Read,
        Write,
        Eeprom,
        Scan,
        Ident,
        Listen,
        Backup,
        Diff,
        Clone,
        Report,
        Serve,
        Tune,
        StepTest
    };

    QString port;  // a device path or "COMn"
    qint32 rate = 9600;
    int da = 1;
    int sa = 0;
    bool trace = false;
    bool stats = false;  // per-address counts when the command ends
    bool help = false;

    Command command = Command::None;
    double watch_s = 0;        // live: repeat period; 0 reads once
    int table = -1;            // read, write
    QStringList assignments;   // write: FIELD=VALUE
    int timeout_ms = 0;        // scan: probe read time-out; 0 keeps the line's own
    QStringList command_args;  // backup, diff, clone, report, tune, steptest: all after the word
    bool json = false;         // live, read, scan, ident: one JSON object per result
    ServeOptions serve;
};

struct CtlParse {
    CtlOptions options;
    QString error;  // empty when the command line is usable
};

// args without the program name.
CtlParse parse_ctl_args(const QStringList& args);

QString ctl_usage();
