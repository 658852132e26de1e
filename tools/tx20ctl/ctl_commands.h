#pragma once

#include <QTextStream>
#include <atomic>

#include "bus/bus_session.h"
#include "comm/line.h"
#include "tools/tx20ctl/ctl_options.h"

class ServiceJournal;

// Exit statuses of the tool.
constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

// Carries out one command of tx20ctl on the controller at address; results go to out,
// one-line reasons for failures to err. Returns the exit status.
class CtlCommands {
  public:
    CtlCommands(BusSession& session, int address, QTextStream& out, QTextStream& err,
                const std::atomic<bool>& interrupted)
        : session_(session), da_(address), out_(out), err_(err), interrupted_(interrupted) {}

    int run(const CtlOptions& o);
    // Writes, commits and identifications go into the journal when one is given.
    void set_journal(ServiceJournal* journal) { journal_ = journal; }
    // Results as one JSON object per line (live, read, scan, ident).
    void set_json(bool json) { json_ = json; }

    // Lets live --watch reopen the port (name for messages, device path, rate) after
    // the device has gone and come back.
    void keep_port_open(PortLine& port, const QString& name, const QString& device, qint32 rate) {
        port_ = &port;
        port_name_ = name;
        device_ = device;
        rate_ = rate;
    }

    // Checks FIELD=VALUE assignments against table t without touching the bus; the
    // error text is empty when all of them can be applied.
    static QString check_assignments(int table, const QStringList& assignments);

  private:
    int live(double watch_s);
    int read(int table);
    int write(int table, const QStringList& assignments);
    int eeprom();
    int scan(int wait_ms);
    int ident();
    int ident_json();

    int failed(const QString& reason);
    void print_live(const LiveGroup& l, bool stamp);

    BusSession& session_;
    int da_;
    QTextStream& out_;
    QTextStream& err_;
    const std::atomic<bool>& interrupted_;
    PortLine* port_ = nullptr;
    QString port_name_;
    QString device_;
    qint32 rate_ = 0;
    bool json_ = false;
    ServiceJournal* journal_ = nullptr;
};
