#include "tools/tx20ctl/console_prompts.h"

PromptAnswer ConsolePrompts::message(const QString& text, const QString& caption, PromptIcon,
                                     PromptButtons buttons, PromptOwner) {
    out_ << caption << ": " << text << Qt::endl;
    return buttons == PromptButtons::YesNo ? PromptAnswer::No : PromptAnswer::Ok;
}
