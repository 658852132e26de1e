#include "tools/tx20ctl/ctl_json.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <type_traits>

#include "gateway/unit_json.h"
#include "tools/tx20ctl/ctl_commands.h"

namespace ctl_json {

namespace {

QString line(const QJsonObject& o) {
    return QString::fromUtf8(QJsonDocument(o).toJson(QJsonDocument::Compact));
}

// The characters of a zero-terminated text field, as far as they go.
QString text_of(const char* p, int size) {
    int n = 0;
    while (n < size && p[n] != 0) ++n;
    return QString::fromLatin1(p, n);
}

}  // namespace

QString live(int address, const LiveGroup& l, const QDateTime& time) {
    QJsonObject o = live_json(l);
    o.insert(QStringLiteral("address"), address);
    o.insert(QStringLiteral("time"), time.toUTC().toString(Qt::ISODateWithMs));
    return line(o);
}

QString table(int address, int t, DeviceData& data) {
    QJsonObject fields;
    with_group(data, t, [&](auto& group) {
        for_each_field(group, [&](const char* name, auto& field) {
            using T = std::decay_t<decltype(field)>;
            if constexpr (std::is_same_v<T, float>)
                fields.insert(QLatin1String(name),
                              QString::number(static_cast<double>(field), 'g', 7).toDouble());
            else
                fields.insert(QLatin1String(name), static_cast<int>(field));
        });
    });
    QJsonObject o;
    o.insert(QStringLiteral("address"), address);
    o.insert(QStringLiteral("table"), t);
    o.insert(QStringLiteral("fields"), fields);
    return line(o);
}

QString station(int address) {
    QJsonObject o;
    o.insert(QStringLiteral("address"), address);
    return line(o);
}

}  // namespace ctl_json

// Every text that came is in the object; a failure still ends the command with 1.
int CtlCommands::ident_json() {
    CommBuffer& b = req_.buffer();
    QJsonObject o;
    o.insert(QStringLiteral("address"), req_.device_address());
    const bool type_ok = req_.read_type_text();
    if (type_ok) o.insert(QStringLiteral("type"), ctl_json::text_of(b.type_text.data(), 250));
    const bool version_ok = req_.read_version_text();
    if (version_ok)
        o.insert(QStringLiteral("version"), ctl_json::text_of(b.version_text.data(), 250));
    bool foreign_ok = false;
    if (!type_ok && !version_ok) {
        foreign_ok = req_.read_foreign_ident();
        if (foreign_ok) {
            QJsonArray lines;
            for (int l = 0; l < 3; ++l)
                lines.append(ctl_json::text_of(b.foreign_ident.data() + l * 32, 32).trimmed());
            o.insert(QStringLiteral("foreign"), lines);
        }
    }
    if (type_ok || version_ok || foreign_ok) out_ << ctl_json::line(o) << Qt::endl;
    if ((type_ok && version_ok) || foreign_ok) return kExitOk;
    if (type_ok || version_ok)
        return failed(type_ok ? QStringLiteral("reading the version text failed")
                              : QStringLiteral("reading the type text failed"));
    return failed(QStringLiteral("the device did not identify itself"));
}
