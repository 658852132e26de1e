#include "tools/tx20ctl/ctl_json.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <type_traits>

#include "bus/identification.h"
#include "gateway/unit_json.h"
#include "ident/ident_texts.h"
#include "tools/tx20ctl/ctl_commands.h"

namespace ctl_json {

namespace {

QString line(const QJsonObject& o) {
    return QString::fromUtf8(QJsonDocument(o).toJson(QJsonDocument::Compact));
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
    QJsonObject o;
    o.insert(QStringLiteral("address"), da_);
    const DeviceIdentity id = identify(session_, da_);
    if (id.type_read) o.insert(QStringLiteral("type"), id.type_text);
    if (id.version_read) o.insert(QStringLiteral("version"), id.version_text);
    bool foreign_ok = false;
    if (!id.type_read && !id.version_read) {
        const auto foreign = session_.read_foreign_ident(da_);
        foreign_ok = foreign.has_value();
        if (foreign_ok) {
            QJsonArray lines;
            for (int l = 0; l < 3; ++l)
                lines.append(text_from_device(foreign->data() + l * 32, 32).trimmed());
            o.insert(QStringLiteral("foreign"), lines);
        }
    }
    if (id.type_read || id.version_read || foreign_ok) out_ << ctl_json::line(o) << Qt::endl;
    if ((id.type_read && id.version_read) || foreign_ok) return kExitOk;
    if (id.type_read || id.version_read)
        return failed(id.type_read ? QStringLiteral("reading the version text failed")
                                   : QStringLiteral("reading the type text failed"));
    return failed(QStringLiteral("the device did not identify itself"));
}
