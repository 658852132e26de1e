#pragma once

#include <QImage>
#include <QString>
#include <optional>

#include "tuning/tuning_study.h"

// The tuning protocol: the model, the rule, old -> new and the predicted responses as a
// picture, as a PDF through the report code that commissioning uses.
struct TuningProtocol {
    QString source;
    TuningStudy study;
    LoopSettings loop;
    std::optional<PidFields> current;
    std::optional<PidFields> original;  // before a write from the window
    QImage picture;
};

QString tuning_protocol_html(const TuningProtocol& p);
bool write_tuning_protocol(const QString& path, const TuningProtocol& p, QString* reason);
