#include "journal/parameter_changes.h"

#include <type_traits>

std::vector<std::pair<QString, QString>> ParameterChanges::fields(int table, const DeviceData& d) {
    std::vector<std::pair<QString, QString>> out;
    DeviceData copy = d;
    with_group(copy, table, [&](auto& group) {
        for_each_field(group, [&](const char* name, auto& field) {
            using T = std::decay_t<decltype(field)>;
            QString text;
            if constexpr (std::is_same_v<T, float>)
                text = QString::number(static_cast<double>(field), 'g', 7);
            else
                text = QString::number(static_cast<int>(field));
            out.emplace_back(QString::fromLatin1(name), text);
        });
    });
    return out;
}

void ParameterChanges::known(int address, int table, const DeviceData& d) {
    known_[{address, table}] = fields(table, d);
}

std::vector<FieldChange> ParameterChanges::changes(int address, int table,
                                                   const DeviceData& d) const {
    std::vector<FieldChange> out;
    const auto now = fields(table, d);
    const auto it = known_.find({address, table});
    for (std::size_t i = 0; i < now.size(); ++i) {
        if (it == known_.end()) {
            out.push_back({table, now[i].first, QString(), now[i].second});
            continue;
        }
        const QString& before = it->second[i].second;
        if (before != now[i].second) out.push_back({table, now[i].first, before, now[i].second});
    }
    return out;
}
