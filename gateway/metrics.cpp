#include "gateway/metrics.h"

#include <QString>
#include <cmath>
#include <functional>

namespace {

// Seven significant digits, as the JSON gives them.
QByteArray number(double v) {
    if (std::isinf(v)) return v > 0 ? QByteArrayLiteral("+Inf") : QByteArrayLiteral("-Inf");
    if (std::isnan(v)) return QByteArrayLiteral("NaN");
    return QByteArray::number(v, 'g', 7);
}

// Label values of ours need no escaping beyond these.
QByteArray label(const QString& v) {
    QByteArray out = v.toUtf8();
    out.replace('\\', "\\\\").replace('"', "\\\"").replace('\n', "\\n");
    return out;
}

class Writer {
  public:
    explicit Writer(const GatewaySnapshot& s) : s_(s) { out_.reserve(512 + 2048 * s.units.size()); }

    // One family: a sample per controller, or none where value() says so.
    void family(const char* name, const char* type, const char* help,
                const std::function<bool(const UnitSnapshot&, double*)>& value) {
        head(name, type, help);
        for (const UnitSnapshot& u : s_.units) {
            double v = 0;
            if (value(u, &v)) sample(name, u.reading.address, {}, v);
        }
    }
    void head(const char* name, const char* type, const char* help) {
        out_ += "# HELP ";
        out_ += name;
        out_ += ' ';
        out_ += help;
        out_ += "\n# TYPE ";
        out_ += name;
        out_ += ' ';
        out_ += type;
        out_ += '\n';
    }
    void sample(const char* name, int address, const QByteArray& more, double v) {
        out_ += name;
        out_ += "{address=\"";
        out_ += QByteArray::number(address);
        out_ += '"';
        out_ += more;
        out_ += "} ";
        out_ += number(v);
        out_ += '\n';
    }
    // A sample of the gateway as a whole.
    void plain(const char* name, double v) {
        out_ += name;
        out_ += ' ';
        out_ += number(v);
        out_ += '\n';
    }
    QByteArray take() { return std::move(out_); }

  private:
    const GatewaySnapshot& s_;
    QByteArray out_;
};

bool known(const UnitSnapshot& u) { return u.reading.last_good_ms >= 0; }

}  // namespace

QByteArray prometheus_metrics(const GatewaySnapshot& s) {
    Writer w(s);
    using U = const UnitSnapshot&;
    // Before a controller's first good reading nothing of it is known, not even a zero.
    const auto live = [](double (*f)(const LiveGroup&)) {
        return [f](U u, double* v) {
            *v = f(u.reading.live);
            return known(u);
        };
    };
    w.head("tx20_controller_info", "gauge", "Controller on the bus, with its type text.");
    for (const UnitSnapshot& u : s.units)
        w.sample("tx20_controller_info", u.reading.address,
                 ",type=\"" + label(u.reading.type_text) + '"', 1);
    w.family("tx20_measured_value", "gauge",
             "Measured value, in the units the controller is set up for.",
             live([](const LiveGroup& l) { return double(l.MEAS); }));
    w.family("tx20_set_point", "gauge", "Set point, in the units of the measured value.",
             live([](const LiveGroup& l) { return double(l.SP); }));
    w.family("tx20_control_action_percent", "gauge", "Control action.",
             live([](const LiveGroup& l) { return l.YOUT / 10.0; }));
    w.family("tx20_servo_feedback_percent", "gauge", "Servo position feedback.",
             live([](const LiveGroup& l) { return l.FEEDBACK / 10.0; }));
    w.family("tx20_terminal_temperature_celsius", "gauge",
             "Temperature of the terminals (cold junction).",
             live([](const LiveGroup& l) { return double(l.TTERM); }));
    w.head("tx20_relay_on", "gauge", "Output relay, 1 when on.");
    for (const UnitSnapshot& u : s.units)
        if (known(u))
            for (int bit = 0; bit < 3; ++bit)
                w.sample("tx20_relay_on", u.reading.address,
                         ",relay=\"" + QByteArray::number(bit + 1) + '"',
                         (u.reading.live.RELAYS >> bit) & 1);
    w.family("tx20_fault", "gauge", "1 when the controller reports a fault.",
             live([](const LiveGroup& l) { return l.FAULT != 0 ? 1.0 : 0.0; }));
    w.family("tx20_link_up", "gauge", "1 when the last reading of the controller was good.",
             [](U u, double* v) {
                 *v = u.reading.link ? 1 : 0;
                 return true;
             });
    const qint64 now = s.now_ms;
    w.family("tx20_last_good_reading_age_seconds", "gauge",
             "Seconds since the last good reading; +Inf before the first.", [now](U u, double* v) {
                 *v = known(u) ? std::max<qint64>(0, now - u.reading.last_good_ms) / 1000.0
                               : INFINITY;
                 return true;
             });
    w.family("tx20_reading_failures", "gauge", "Failed readings since the last good one.",
             [](U u, double* v) {
                 *v = u.reading.failures;
                 return true;
             });

    const auto count = [](int AddressStats::*field) {
        return [field](U u, double* v) {
            *v = u.line.*field;
            return true;
        };
    };
    w.family("tx20_line_requests_total", "counter", "Requests sent on the serial line.",
             count(&AddressStats::requests));
    w.family("tx20_line_good_replies_total", "counter", "Good replies.",
             count(&AddressStats::good));
    w.family("tx20_line_timeouts_total", "counter", "Requests that got no reply in time.",
             count(&AddressStats::timeouts));
    w.family("tx20_line_short_replies_total", "counter", "Replies that came short.",
             count(&AddressStats::short_replies));
    w.family("tx20_line_checksum_errors_total", "counter", "Replies with a wrong checksum.",
             count(&AddressStats::checksum_errors));
    w.family("tx20_line_format_errors_total", "counter", "Replies of a wrong format.",
             count(&AddressStats::format_errors));
    w.family("tx20_line_refusals_total", "counter", "Requests the controller refused.",
             count(&AddressStats::refusals));
    w.family("tx20_line_resends_total", "counter", "Requests sent again after a failure.",
             count(&AddressStats::resends));
    w.family("tx20_gateway_polls_total", "counter",
             "Readings of the live values the gateway asked for, good or failed.",
             [](U u, double* v) {
                 *v = static_cast<double>(u.polls);
                 return true;
             });
    w.head("tx20_gateway_cycles_total", "counter", "Passes over every listed controller.");
    w.plain("tx20_gateway_cycles_total", s.cycles);
    w.head("tx20_gateway_cycle_seconds", "gauge",
           "How long the last pass over every controller took.");
    if (s.last_cycle_ms >= 0) w.plain("tx20_gateway_cycle_seconds", s.last_cycle_ms / 1000.0);
    return w.take();
}
