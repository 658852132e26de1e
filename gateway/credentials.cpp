#include "gateway/credentials.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QList>
#include <cerrno>
#include <cstring>

#ifndef _WIN32
#include <sys/stat.h>
#endif

bool read_credentials(const QString& path, Credentials* out, QString* error) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = file.errorString();
        return false;
    }
#ifndef _WIN32
    struct stat st {};
    if (::fstat(file.handle(), &st) != 0) {
        *error = QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    // systemd hands a service its credentials in a folder of their own that only the
    // service may enter, and grants the read through an ACL that shows in the group bits.
    const QString systemd = qEnvironmentVariable("CREDENTIALS_DIRECTORY");
    const bool private_folder =
        !systemd.isEmpty() && QFileInfo(path).absolutePath() == QDir(systemd).absolutePath();
    if (!private_folder && (st.st_mode & (S_IRWXG | S_IRWXO)) != 0) {
        *error = QStringLiteral(
                     "others may read or change it (mode %1); allow only its owner (chmod 600)")
                     .arg(st.st_mode & 07777, 4, 8, QLatin1Char('0'));
        return false;
    }
#endif
    // Two short lines; anything longer is no credentials file.
    const QByteArray text = file.read(64 * 1024);
    QList<QByteArray> lines = text.split('\n');
    for (QByteArray& l : lines)
        if (l.endsWith('\r')) l.chop(1);
    if (lines.isEmpty() || lines[0].trimmed().isEmpty()) {
        *error = QStringLiteral(
            "it is empty; it needs the user name on its first line and the password on its "
            "second");
        return false;
    }
    if (lines.size() < 2 || lines[1].isEmpty()) {
        *error = QStringLiteral("it has no password on its second line");
        return false;
    }
    out->user = QString::fromUtf8(lines[0].trimmed());
    out->password = QString::fromUtf8(lines[1]);
    return true;
}
