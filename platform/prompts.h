#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>
#include <optional>

// Every message box, question, file dialog and colour dialog goes through this
// interface, so windows can be driven headless by a scripted implementation.
enum class PromptIcon { None, Information, Warning, Error, Question };
enum class PromptButtons { Ok, YesNo };
enum class PromptAnswer { Ok, Yes, No, Cancel };

// Which window owns a message: the application (entry and file messages) or none
// (communication messages). Only affects modality and placement.
enum class PromptOwner { Application, None };

struct FileDialogRequest {
    QString title;                  // empty: the platform's default title
    QString directory;              // initial folder; empty: the current one
    QString file_name;              // initial name
    QString default_suffix;         // added when the user types a name without one ("TXT", "ini")
    QStringList filters;            // entries in the form "Text (*.txt)"
    int filter_index = 0;           // the filter selected at first
    bool overwrite_prompt = false;  // ask before replacing an existing file
    bool path_must_exist = false;
    bool file_must_exist = false;
    bool hide_read_only = false;
};

class Prompts {
  public:
    virtual ~Prompts() = default;

    virtual PromptAnswer message(const QString& text, const QString& caption, PromptIcon icon,
                                 PromptButtons buttons = PromptButtons::Ok,
                                 PromptOwner owner = PromptOwner::Application) = 0;

    // The chosen path, or nothing when the user cancelled.
    virtual std::optional<QString> save_file(const FileDialogRequest& request) = 0;
    virtual std::optional<QString> open_file(const FileDialogRequest& request) = 0;

    // Colours as 0x00BBGGRR values (system colours are resolved by the caller first).
    virtual std::optional<std::uint32_t> choose_color(std::uint32_t initial) = 0;
};
