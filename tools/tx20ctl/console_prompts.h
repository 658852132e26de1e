#pragma once

#include <QTextStream>

#include "platform/prompts.h"

// Prompts for a program without windows: messages go to a text stream as
// "caption: text"; questions are answered No and dialogs cancelled.
class ConsolePrompts : public Prompts {
  public:
    explicit ConsolePrompts(QTextStream& out) : out_(out) {}

    PromptAnswer message(const QString& text, const QString& caption, PromptIcon icon,
                         PromptButtons buttons, PromptOwner owner) override;
    std::optional<QString> save_file(const FileDialogRequest&) override { return std::nullopt; }
    std::optional<QString> open_file(const FileDialogRequest&) override { return std::nullopt; }
    std::optional<std::uint32_t> choose_color(std::uint32_t) override { return std::nullopt; }

  private:
    QTextStream& out_;
};
