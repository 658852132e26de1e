#include "ident/ident_result.h"

#include <cstring>

IdentResult classify_version(const char* v) {
    struct Prefix {
        const char* text;
        IdentResult result;
    };
    static constexpr Prefix kPrefixes[] = {{"FW-R-18-02", IdentResult::Supported},
                                           {"FW-R-11-01", IdentResult::Krt01_1},
                                           {"FW-R-11-02", IdentResult::Krt01_2},
                                           {"FW-R-11-03", IdentResult::Krt01_3}};
    for (const auto& p : kPrefixes)
        if (std::strncmp(v, p.text, 10) == 0) return p.result;
    return IdentResult::Unknown;
}
