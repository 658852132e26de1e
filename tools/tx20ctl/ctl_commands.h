#pragma once

#include <QTextStream>
#include <atomic>

#include "comm/Unit_hl.h"
#include "tools/tx20ctl/ctl_options.h"

// Exit statuses of the tool.
constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

// Carries out one command of tx20ctl on the request layer; results go to out,
// one-line reasons for failures to err. Returns the exit status.
class CtlCommands {
  public:
    CtlCommands(RequestLayer& req, QTextStream& out, QTextStream& err,
                const std::atomic<bool>& interrupted)
        : req_(req), out_(out), err_(err), interrupted_(interrupted) {}

    int run(const CtlOptions& o);

    // Checks FIELD=VALUE assignments against table t without touching the bus; the
    // error text is empty when all of them can be applied.
    static QString check_assignments(int table, const QStringList& assignments);

  private:
    int live(double watch_s);
    int read(int table);
    int write(int table, const QStringList& assignments);
    int eeprom();
    int scan();
    int ident();

    int failed(const QString& reason);
    void print_live(bool stamp);

    RequestLayer& req_;
    QTextStream& out_;
    QTextStream& err_;
    const std::atomic<bool>& interrupted_;
};
