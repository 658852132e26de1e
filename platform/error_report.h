#pragma once

#include <exception>

#include "platform/errors.h"
#include "platform/prompts.h"

// The application's default error report: the message in a box with the error icon,
// the caption "TX-20" and a full stop added. The event loop goes on afterwards.
inline void report_error(Prompts& prompts, const QString& message) {
    prompts.message(message + QLatin1Char('.'), QStringLiteral("TX-20"), PromptIcon::Error,
                    PromptButtons::Ok, PromptOwner::Application);
}

inline void report_error(Prompts& prompts, const std::exception& e) {
    if (const auto* tx = dynamic_cast<const Tx20Error*>(&e))
        report_error(prompts, tx->message());
    else
        report_error(prompts, QString::fromLocal8Bit(e.what()));
}
