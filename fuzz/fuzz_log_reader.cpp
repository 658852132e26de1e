// The measurement log reader on any bytes, fed in two pieces split where the first byte
// says: it never crashes, keeps its time axis in order, accounts for every line, and
// the CSV has one row per sample.
#include <QLocale>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "analysis/log_csv.h"
#include "analysis/log_reader.h"

namespace {

[[noreturn]] void violated(const char* what) {
    std::fprintf(stderr, "invariant violated: %s\n", what);
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    // The current locale varies with the first byte too: Czech, US (12-hour clock), C.
    static const QLocale locales[] = {QLocale(QLocale::Czech, QLocale::Czechia),
                                      QLocale(QLocale::English, QLocale::UnitedStates),
                                      QLocale::c()};
    const std::size_t split = 1 + data[0] % size;
    LogReader reader(locales[data[0] % 3]);
    const char* bytes = reinterpret_cast<const char*>(data) + 1;
    const std::size_t n = size - 1;
    const std::size_t first = std::min(split, n);
    reader.feed(bytes, static_cast<qsizetype>(first));
    reader.feed(bytes + first, static_cast<qsizetype>(n - first));
    const LogReadResult r = reader.finish();

    const LogData& d = r.data;
    if (r.ok() == d.empty()) violated("an error without samples, or samples with an error");
    if (d.size() + r.skipped > r.lines) violated("more samples and skipped lines than lines");
    if ((r.skipped > 0) != (r.first_bad_line > 0)) violated("skipped lines without the first one");
    if (r.first_bad_line > r.lines) violated("the first bad line is past the end");
    for (int i = 1; i < d.size(); ++i)
        if (d.axis_ms(i) < d.axis_ms(i - 1)) violated("the time axis goes back");
    for (int t = 0; t < LogData::kTraces; ++t) {
        const LogData::Stats s = d.stats(t, 0, d.size() - 1);
        if (s.count > 0 && !(s.min <= s.max)) violated("minimum above maximum");
    }
    if (d.size() > 0 && d.size() < 2000) {
        const QByteArray csv = log_csv::rows(d, 0, d.size() - 1);
        if (csv.count('\n') != d.size()) violated("not one CSV row per sample");
    }
    return 0;
}
