#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>

// One run of the command-line tool, as a script sees it.
struct CtlRun {
    int code = -1;  // -2: it crashed; -1: it did not finish
    QString out;
    QString err;
};

// The tool speaks the locale's language; the tests read English unless they name another
// locale, whatever locale the tests themselves run under.
inline QProcessEnvironment ctl_environment(
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment(),
    const QString& locale = QStringLiteral("C.UTF-8")) {
    env.insert(QStringLiteral("LC_ALL"), locale);
    env.insert(QStringLiteral("LANG"), locale);
    env.remove(QStringLiteral("LANGUAGE"));
    return env;
}

inline CtlRun tx20ctl(const QStringList& args,
                      const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment(),
                      const QString& locale = QStringLiteral("C.UTF-8")) {
    QProcess p;
    p.setProcessEnvironment(ctl_environment(env, locale));
    p.start(QStringLiteral(TX20CTL_PATH), args);
    CtlRun r;
    if (!p.waitForFinished(30000)) {
        p.kill();
        p.waitForFinished();
        r.err = QStringLiteral("did not finish");
        return r;
    }
    r.code = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -2;
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}
