#include "sim/sim_args.h"

#include <algorithm>
#include <cmath>

namespace sim {

namespace {

bool parse_int(const QString& text, int lo, int hi, int& out) {
    bool ok = false;
    const int v = text.toInt(&ok, 10);
    if (!ok || v < lo || v > hi) return false;
    out = v;
    return true;
}

// gain=K,tau=T,dead=L[,noise=S][,tau2=T2][,integrating]
bool parse_plant(const QString& text, PlantSpec& out, QString& error) {
    PlantSpec p;
    bool has_gain = false, has_tau = false, has_dead = false;
    for (const QString& part : text.split(QLatin1Char(','))) {
        if (part == QLatin1String("integrating")) {
            p.model.kind = ModelKind::Integrating;
            continue;
        }
        const int eq = static_cast<int>(part.indexOf(QLatin1Char('=')));
        const QString key = part.left(eq);
        bool ok = false;
        const double v = eq > 0 ? part.mid(eq + 1).toDouble(&ok) : 0.0;
        if (!ok || !std::isfinite(v)) {
            error = QStringLiteral("--plant: ") + part + QStringLiteral(" is not NAME=NUMBER");
            return false;
        }
        if (key == QLatin1String("gain") && v != 0) {
            p.model.gain = v;
            has_gain = true;
        } else if (key == QLatin1String("tau") && v > 0) {
            p.model.tau = v;
            has_tau = true;
        } else if (key == QLatin1String("dead") && v >= 0 && v <= 3600) {
            p.model.dead = v;
            has_dead = true;
        } else if (key == QLatin1String("noise") && v >= 0) {
            p.noise = v;
        } else if (key == QLatin1String("tau2") && v >= 0) {
            p.model.tau2 = v;
        } else {
            error = QStringLiteral("--plant: ") + part +
                    QStringLiteral(
                        " is not one of gain (not 0), tau (> 0), dead (0..3600), "
                        "noise, tau2 (>= 0), integrating");
            return false;
        }
    }
    const bool integrating = p.model.kind == ModelKind::Integrating;
    if (!has_gain || !has_dead || (!has_tau && !integrating)) {
        error = QStringLiteral("--plant needs gain, tau and dead (tau not with integrating)");
        return false;
    }
    if (!integrating && p.model.tau2 > 0) {
        p.model.kind = ModelKind::Sopdt;
        if (p.model.tau2 > p.model.tau) std::swap(p.model.tau, p.model.tau2);
    }
    out = p;
    return true;
}

}  // namespace

QString sim_usage() {
    return QStringLiteral(
        "usage: kelvra20-sim [--link PATH] [--address N]... "
        "[--model supported|krt01[:1-3]|foreign]\n"
        "                    [--rate BAUD] [--pace] [--fault KIND[:every-N]]... "
        "[--eeprom FILE]\n"
        "                    [--device-fault CODE] [--type-text TEXT] [--freeze] [--verbose]\n"
        "                    [--plant gain=K,tau=T,dead=L[,noise=S][,tau2=T2][,integrating]]\n"
        "fault kinds: silence short checksum function length pause refuse late\n");
}

ArgsResult parse_sim_args(const QStringList& args, SimArgs& out, QString& error) {
    out = SimArgs{};
    std::vector<int> addresses;
    auto value = [&](int& i, const QString& opt, QString& v) {
        if (i + 1 >= args.size()) {
            error = opt + QStringLiteral(" needs a value");
            return false;
        }
        v = args[++i];
        return true;
    };
    for (int i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        QString v;
        if (a == QLatin1String("--help") || a == QLatin1String("-h")) return ArgsResult::Help;
        if (a == QLatin1String("--verbose")) {
            out.options.verbose = true;
        } else if (a == QLatin1String("--pace")) {
            out.pace = true;
        } else if (a == QLatin1String("--freeze")) {
            out.options.frozen = true;
        } else if (a == QLatin1String("--link")) {
            if (!value(i, a, v)) return ArgsResult::Error;
            out.link = v;
        } else if (a == QLatin1String("--type-text")) {
            if (!value(i, a, v)) return ArgsResult::Error;
            if (v.isEmpty() || v.size() > 200) {
                error = QStringLiteral("--type-text: 1 to 200 characters");
                return ArgsResult::Error;
            }
            out.options.type_text = v;
        } else if (a == QLatin1String("--eeprom")) {
            if (!value(i, a, v)) return ArgsResult::Error;
            out.options.eeprom_file = v;
        } else if (a == QLatin1String("--address")) {
            if (!value(i, a, v)) return ArgsResult::Error;
            int n = 0;
            if (!parse_int(v, 0, 126, n)) {
                error = QStringLiteral("--address: ") + v + QStringLiteral(" is not 0..126");
                return ArgsResult::Error;
            }
            if (std::find(addresses.begin(), addresses.end(), n) != addresses.end()) {
                error = QStringLiteral("--address ") + v + QStringLiteral(" given twice");
                return ArgsResult::Error;
            }
            addresses.push_back(n);
        } else if (a == QLatin1String("--rate")) {
            if (!value(i, a, v)) return ArgsResult::Error;
            if (!parse_int(v, 50, 4000000, out.rate)) {
                error = QStringLiteral("--rate: ") + v + QStringLiteral(" is not a baud rate");
                return ArgsResult::Error;
            }
        } else if (a == QLatin1String("--plant")) {
            if (!value(i, a, v)) return ArgsResult::Error;
            PlantSpec plant;
            if (!parse_plant(v, plant, error)) return ArgsResult::Error;
            out.options.plant = plant;
        } else if (a == QLatin1String("--device-fault")) {
            if (!value(i, a, v)) return ArgsResult::Error;
            if (!parse_int(v, 0, 127, out.options.device_fault)) {
                error = QStringLiteral("--device-fault: ") + v + QStringLiteral(" is not 0..127");
                return ArgsResult::Error;
            }
        } else if (a == QLatin1String("--model")) {
            if (!value(i, a, v)) return ArgsResult::Error;
            if (v == QLatin1String("supported")) {
                out.options.model = Model::Supported;
            } else if (v == QLatin1String("foreign")) {
                out.options.model = Model::Foreign;
            } else if (v == QLatin1String("krt01") || v.startsWith(QLatin1String("krt01:"))) {
                out.options.model = Model::Krt01;
                if (v.size() > 5 && !parse_int(v.mid(6), 1, 3, out.options.krt01_variant)) {
                    error = QStringLiteral("--model: krt01 variant must be 1..3");
                    return ArgsResult::Error;
                }
            } else {
                error = QStringLiteral("--model: ") + v +
                        QStringLiteral(" is not supported, krt01 or foreign");
                return ArgsResult::Error;
            }
        } else if (a == QLatin1String("--fault")) {
            if (!value(i, a, v)) return ArgsResult::Error;
            FaultSpec spec;
            // KIND[:every-N][@ADDRESS]: @ limits the fault to one station.
            const int at = static_cast<int>(v.indexOf(QLatin1Char('@')));
            if (at >= 0) {
                if (!parse_int(v.mid(at + 1), 0, 126, spec.address)) {
                    error = QStringLiteral("--fault: ") + v +
                            QStringLiteral(": the address after @ must be 0..126");
                    return ArgsResult::Error;
                }
                v = v.left(at);
            }
            const int colon = static_cast<int>(v.indexOf(QLatin1Char(':')));
            const QString kind = colon < 0 ? v : v.left(colon);
            bool ok = false;
            spec.kind = fault_from_name(kind, &ok);
            if (!ok) {
                error = QStringLiteral("--fault: unknown kind ") + kind +
                        QStringLiteral(
                            " (silence, short, checksum, function, length, pause, "
                            "refuse, late)");
                return ArgsResult::Error;
            }
            if (colon >= 0) {
                QString every = v.mid(colon + 1);
                if (every.startsWith(QLatin1String("every-"))) every = every.mid(6);
                if (!parse_int(every, 1, 1000000, spec.every)) {
                    error = QStringLiteral("--fault: ") + v +
                            QStringLiteral(": expected KIND or KIND:every-N with N >= 1");
                    return ArgsResult::Error;
                }
            }
            out.options.faults.push_back(spec);
        } else {
            error = QStringLiteral("unknown argument ") + a;
            return ArgsResult::Error;
        }
    }
    if (!addresses.empty()) out.options.addresses = addresses;
    return ArgsResult::Ok;
}

}  // namespace sim
