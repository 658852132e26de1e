#pragma once

#include "platform/prompts.h"

class QFont;
class QWidget;

// Prompts shown with the standard Qt message boxes and dialogs.
class QtPrompts final : public Prompts {
  public:
    // Messages owned by the application are parented to this window (may be null).
    void set_main_window(QWidget* w) { main_window_ = w; }

    PromptAnswer message(const QString& text, const QString& caption, PromptIcon icon,
                         PromptButtons buttons, PromptOwner owner) override;
    std::optional<QString> save_file(const FileDialogRequest& request) override;
    std::optional<QString> open_file(const FileDialogRequest& request) override;
    std::optional<std::uint32_t> choose_color(std::uint32_t initial) override;

    // The least width of a message box with this caption.
    static int message_min_width(const QString& caption, const QFont& font);

  private:
    QWidget* owner_window() const;

    QWidget* main_window_ = nullptr;
};
