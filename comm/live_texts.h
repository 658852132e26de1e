#pragma once

#include <QLocale>
#include <QString>

#include "comm/device_data.h"

// The live values as the main window shows them, for every view of a controller's
// reading (main window, bus overview).
struct LiveTexts {
    QString measure;   // MEAS, 2 decimals
    QString sp;        // SP, 2 decimals
    QString yout;      // YOUT x 0.1, 1 decimal
    QString tterm;     // TTERM, 1 decimal
    QString feedback;  // FEEDBACK x 0.1, 1 decimal
    QString fault;     // "PORUCHA" or "není porucha"
};

LiveTexts live_texts(const LiveGroup& live, const QLocale& locale = QLocale());
