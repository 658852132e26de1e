#include "monitor/link_indicator.h"

#include "platform/formats.h"

namespace link_indicator {

bool failed(const LinkState& state) { return state.any_exchange && !state.ok; }

QString caption(const LinkState& state) {
    if (!state.any_exchange) return {};
    if (state.ok) return QStringLiteral("spojení OK");
    if (state.port_lost) return QStringLiteral("port ztracen");
    QString verdict;
    if (state.last_verdict == Verdict::ShortReply) {
        // The byte counts belong to one telegram; the panel keeps the words only.
        verdict = QStringLiteral("krátká odpověď");
    } else {
        TelegramRecord r;
        r.verdict = state.last_verdict;
        verdict = verdict_text(r);
    }
    return QStringLiteral("%1 (%2×)").arg(verdict).arg(state.failures_in_row);
}

QString hint(const LinkState& state) {
    const QString reading = !state.last_good.isValid()
                                ? QStringLiteral("Dosud žádné dobré čtení")
                                : QStringLiteral("Poslední dobré čtení: %1 %2")
                                      .arg(formats::short_date(state.last_good.date()),
                                           formats::long_time(state.last_good.time()));
    return reading + QLatin1Char('\n') + reopen_hint();
}

QString reopen_hint() {
    return QStringLiteral(
               "Port otevře znovu klepnutí na tento panel (\"%1\") nebo volba portu "
               "v Nastavení → Komunikační port.")
        .arg(reopen_caption());
}

QString reopen_caption() { return QStringLiteral("Otevřít port znovu"); }

}  // namespace link_indicator
