#pragma once

#include <QString>
#include <QTextStream>
#include <atomic>
#include <vector>

struct CtlOptions;

// The options of "tx20ctl serve", the gateway.
struct ServeOptions {
    std::vector<int> addresses;
    bool scan = false;
    double period_s = 1.0;  // between the starts of two passes over every controller
    QString modbus_host;    // 127.0.0.1 unless given
    int modbus_port = 0;    // 0: no Modbus TCP
    QString modbus_allow;   // addresses and CIDR ranges; empty: every client
    QString mqtt_host;
    int mqtt_port = 0;  // 0: no MQTT
    QString topic = QStringLiteral("tx20");
    QString mqtt_auth;  // files
    QString mqtt_cafile;
    QString mqtt_cert;
    QString mqtt_key;
    QString http_host;  // 127.0.0.1 unless given
    int http_port = 0;  // 0: no HTTP
    QString http_auth;  // file
    bool http_open = false;
    QString journal;     // the alarm rules and transitions; empty: the user's own journal
    bool given = false;  // any of them was on the command line
};

// "--scan" and "--http-open", the options of serve without a value.
bool is_serve_flag(const QString& arg);
void apply_serve_flag(ServeOptions& s, const QString& arg);
bool is_serve_option(const QString& arg);
// Takes one option with its value; returns the problem, or an empty text.
QString apply_serve_option(ServeOptions& s, const QString& arg, const QString& value);
// Checks the options as a whole once the command is known.
QString check_serve_options(const ServeOptions& s, bool serve_command);

// Runs the gateway until interrupted. Returns the exit status.
int run_serve(const CtlOptions& o, QTextStream& err, const std::atomic<bool>& interrupted);
