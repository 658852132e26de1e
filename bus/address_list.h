#pragma once

#include <QString>
#include <optional>
#include <vector>

// Lists of controller addresses as users type them: "1, 3, 10-12". Items are separated
// by commas, ranges go upwards, every address lies in 1..126 and comes once. The result
// keeps the order typed (a clone visits its targets in that order).
namespace address_list {

constexpr int kLowest = 1;
constexpr int kHighest = 126;

// Nothing on bad input, with the reason in Czech.
std::optional<std::vector<int>> parse(const QString& text, QString* error = nullptr);

// "1, 3, 10-12": the list written back, ranges joined.
QString text(const std::vector<int>& addresses);

}  // namespace address_list
