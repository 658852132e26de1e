#pragma once

#include <QCoreApplication>
#include <QString>

#include "params/value_check.h"

// The tool's texts, in English and, through its catalogue, in Czech.
struct Ctl {
    Q_DECLARE_TR_FUNCTIONS(tx20ctl)
};

// Why a value is refused, in the tool's language.
QString refusal_text(const params::Verdict& v);
