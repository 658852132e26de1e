#include "comm/live_texts.h"

#include "platform/formats.h"

LiveTexts live_texts(const LiveGroup& live) {
    LiveTexts t;
    t.measure = formats::fixed(live.MEAS, 2, 5);
    t.sp = formats::fixed(live.SP, 2, 5);
    t.yout = formats::fixed(live.YOUT * 0.1, 1, 4);
    t.tterm = formats::fixed(live.TTERM, 1, 5);
    t.feedback = formats::fixed(live.FEEDBACK * 0.1, 1, 4);
    t.fault = live.FAULT != 0 ? QStringLiteral("PORUCHA") : QStringLiteral("není porucha");
    return t;
}
