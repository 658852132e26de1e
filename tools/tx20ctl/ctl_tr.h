#pragma once

#include <QCoreApplication>
#include <QString>

#include "params/value_check.h"
#include "platform/errors.h"

class QTranslator;

// The tool's texts, in English and, through its catalogue, in Czech.
struct Ctl {
    Q_DECLARE_TR_FUNCTIONS(tx20ctl)
};

// Why a value is refused, in the tool's language.
QString refusal_text(const params::Verdict& v);

// The port's configuration failure in the tool's language (the windows show the
// program's own Czech texts).
QString port_error_text(const PortError& e, const QString& port);

// Czech under a Czech locale, English otherwise: loads the tool's catalogue into t.
void install_ctl_translator(QTranslator& t);
