#include "comm/live_texts.h"

#include "platform/formats.h"

LiveTexts live_texts(const LiveGroup& live, const QLocale& locale) {
    LiveTexts t;
    t.measure = formats::fixed(live.MEAS, 2, 5, locale);
    t.sp = formats::fixed(live.SP, 2, 5, locale);
    t.yout = formats::fixed(live.YOUT * 0.1, 1, 4, locale);
    t.tterm = formats::fixed(live.TTERM, 1, 5, locale);
    t.feedback = formats::fixed(live.FEEDBACK * 0.1, 1, 4, locale);
    t.fault = live.FAULT != 0 ? QStringLiteral("PORUCHA") : QStringLiteral("není porucha");
    return t;
}
