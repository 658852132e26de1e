#include "sim/eeprom_file.h"

#include <QFile>
#include <QHash>
#include <QTextStream>

#include "platform/atomic_file.h"

namespace sim {

namespace {

QString section_name(std::size_t i) {
    return QStringLiteral("STATION") + QString::number(static_cast<qulonglong>(i));
}

struct Writer {
    QString& out;
    void operator()(const char* name, float& v) {
        // 9 significant digits give the float back exactly.
        out += QLatin1String(name) + QLatin1Char('=') + QString::number(double{v}, 'g', 9) +
               QLatin1Char('\n');
    }
    void operator()(const char* name, std::int32_t& v) {
        out += QLatin1String(name) + QLatin1Char('=') + QString::number(v) + QLatin1Char('\n');
    }
    void operator()(const char* name, std::int8_t& v) {
        out += QLatin1String(name) + QLatin1Char('=') + QString::number(int{v}) + QLatin1Char('\n');
    }
};

struct Reader {
    const QHash<QString, QString>& keys;
    void operator()(const char* name, float& v) {
        bool ok = false;
        const float f = keys.value(QLatin1String(name)).toFloat(&ok);
        if (ok) v = f;
    }
    void operator()(const char* name, std::int32_t& v) {
        bool ok = false;
        const int i = keys.value(QLatin1String(name)).toInt(&ok);
        if (ok && i >= 0 && i <= 65535) v = i;
    }
    void operator()(const char* name, std::int8_t& v) {
        bool ok = false;
        const int i = keys.value(QLatin1String(name)).toInt(&ok);
        if (ok && i >= -128 && i <= 127) v = static_cast<std::int8_t>(i);
    }
};

}  // namespace

bool save_eeprom_file(const QString& path, const std::vector<DeviceData>& stations) {
    QString text;
    for (std::size_t i = 0; i < stations.size(); ++i) {
        DeviceData d = stations[i];
        text += QLatin1Char('[') + section_name(i) + QStringLiteral("]\n");
        Writer w{text};
        for (int t = 0; t < kParameterTableCount; ++t)
            with_group(d, t, [&](auto& g) { for_each_field(g, w); });
        text += QLatin1Char('\n');
    }
    const QByteArray bytes = text.toUtf8();
    return AtomicFile::write(path, {QByteArrayView(bytes)}, nullptr);
}

bool load_eeprom_file(const QString& path, std::vector<DeviceData>& stations) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return false;
    QHash<QString, QHash<QString, QString>> sections;
    QString current;
    QTextStream in(&file);
    QString line;
    while (in.readLineInto(&line)) {
        line = line.trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char(';'))) continue;
        if (line.startsWith(QLatin1Char('[')) && line.endsWith(QLatin1Char(']'))) {
            current = line.mid(1, line.size() - 2).trimmed().toUpper();
            continue;
        }
        const auto eq = line.indexOf(QLatin1Char('='));
        if (eq <= 0 || current.isEmpty()) continue;
        sections[current].insert(line.left(eq).trimmed(), line.mid(eq + 1).trimmed());
    }
    for (std::size_t i = 0; i < stations.size(); ++i) {
        const auto it = sections.constFind(section_name(i));
        if (it == sections.constEnd()) continue;
        Reader r{*it};
        for (int t = 0; t < kParameterTableCount; ++t)
            with_group(stations[i], t, [&](auto& g) { for_each_field(g, r); });
    }
    return true;
}

}  // namespace sim
