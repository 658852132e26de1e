#include "tools/tx20ctl/ports_command.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <algorithm>
#include <utility>
#include <vector>

#include "comm/serial_ports.h"
#include "platform/settings_store.h"
#include "tools/tx20ctl/ctl_commands.h"
#include "tools/tx20ctl/ctl_options.h"

namespace {

constexpr int kPortCount = 8;

// "COM3" or "com3" -> "COM3"; empty when not a port of the dialog's list.
QString port_name(const QString& text) {
    static const QRegularExpression re(QStringLiteral("^COM([1-8])$"),
                                       QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch m = re.match(text);
    return m.hasMatch() ? QStringLiteral("COM") + m.captured(1) : QString();
}

QString or_dash(const QString& s) { return s.isEmpty() ? QStringLiteral("-") : s; }

void print_table(QTextStream& out, const std::vector<QStringList>& rows) {
    std::vector<int> width;
    for (const QStringList& r : rows)
        for (int i = 0; i < r.size(); ++i) {
            if (static_cast<int>(width.size()) <= i) width.push_back(0);
            width[static_cast<size_t>(i)] =
                std::max(width[static_cast<size_t>(i)], static_cast<int>(r[i].size()));
        }
    for (const QStringList& r : rows) {
        QString line;
        for (int i = 0; i < r.size(); ++i)
            line += i + 1 < r.size() ? r[i].leftJustified(width[static_cast<size_t>(i)] + 2) : r[i];
        while (line.endsWith(QLatin1Char(' '))) line.chop(1);
        out << line << '\n';
    }
}

int list(SettingsStore& store, QTextStream& out) {
    const std::vector<SerialDeviceInfo> devices = serial_devices();
    out << "Serial devices:\n";
    if (devices.empty()) {
        out << "  none found\n";
    } else {
        std::vector<QStringList> rows{{QStringLiteral("  DEVICE"), QStringLiteral("STATE"),
                                       QStringLiteral("USB"), QStringLiteral("DESCRIPTION"),
                                       QStringLiteral("STABLE PATH")}};
        for (const SerialDeviceInfo& d : devices)
            rows.push_back({QStringLiteral("  ") + d.path,
                            d.busy ? QStringLiteral("busy") : QStringLiteral("free"),
                            or_dash(d.usb_id), or_dash(d.description), or_dash(d.stable_path)});
        print_table(out, rows);
    }
    out << "\nPort map (" << QDir::toNativeSeparators(store.location()) << "):\n";
    std::vector<QStringList> rows;
    for (int n = 1; n <= kPortCount; ++n) {
        const QString name = QStringLiteral("COM%1").arg(n);
        const QString device = store.port_device(name);
        QString note;
        if (device != name && !QFileInfo::exists(device)) {
            note = QStringLiteral("missing");
        } else {
            const QFileInfo fi(device);
            if (fi.isSymLink()) note = QStringLiteral("-> ") + fi.canonicalFilePath();
        }
        rows.push_back({QStringLiteral("  ") + name, device, note});
    }
    print_table(out, rows);
    out.flush();
    return kExitOk;
}

int usage_error(QTextStream& err, const QString& message) {
    err << "tx20ctl: " << message << "\n\n" << ctl_usage();
    err.flush();
    return kExitUsage;
}

}  // namespace

int run_ports_command(const QStringList& args, SettingsStore& store, QTextStream& out,
                      QTextStream& err) {
    std::vector<std::pair<QString, QString>> changes;  // port name, device (empty unmaps)
    for (int i = 0; i < args.size(); ++i) {
        QString opt = args[i];
        if (opt == QLatin1String("--help")) {
            out << ctl_usage();
            out.flush();
            return kExitOk;
        }
        QString value;
        const int eq = opt.indexOf(QLatin1Char('='));
        const bool inline_value = eq > 0 && (opt.left(eq) == QLatin1String("--map") ||
                                             opt.left(eq) == QLatin1String("--unmap"));
        if (inline_value) {
            value = opt.mid(eq + 1);
            opt = opt.left(eq);
        }
        if (opt != QLatin1String("--map") && opt != QLatin1String("--unmap"))
            return usage_error(err, QStringLiteral("unexpected argument %1 after ports").arg(opt));
        if (!inline_value) {
            if (i + 1 >= args.size())
                return usage_error(err, QStringLiteral("option %1 needs a value").arg(opt));
            value = args[++i];
        }
        if (opt == QLatin1String("--unmap")) {
            const QString name = port_name(value);
            if (name.isEmpty())
                return usage_error(
                    err, QStringLiteral("--unmap needs a port COM1..COM8, not '%1'").arg(value));
            changes.emplace_back(name, QString());
            continue;
        }
        const int sep = value.indexOf(QLatin1Char('='));
        const QString name = port_name(sep < 0 ? value : value.left(sep));
        if (sep < 0 || name.isEmpty())
            return usage_error(
                err, QStringLiteral("--map needs COMn=PATH with n in 1..8, not '%1'").arg(value));
        const QString path = value.mid(sep + 1);
        if (path.trimmed().isEmpty())
            return usage_error(err, QStringLiteral("--map %1= needs a device path").arg(name));
        // The program may start in any folder, so a relative path is made absolute.
        changes.emplace_back(name, QDir::cleanPath(QDir::current().absoluteFilePath(path)));
    }
    if (changes.empty()) return list(store, out);

    for (const auto& [name, device] : changes) {
        QString error;
        if (!store.set_port_device(name, device, &error)) {
            err << "tx20ctl: " << error << Qt::endl;
            return kExitFailed;
        }
        if (device.isEmpty()) {
            out << name << " unmapped (now " << store.port_device(name) << ")\n";
        } else {
            out << name << " -> " << device << '\n';
            if (!QFileInfo::exists(device))
                err << "tx20ctl: warning: " << device << " does not exist now" << Qt::endl;
        }
    }
    out.flush();
    return kExitOk;
}
