#pragma once

#include <deque>
#include <functional>
#include <optional>
#include <vector>

#include "platform/prompts.h"

// Answers prompts from a script and records every one of them. A prompt that the
// test did not expect fails the test.
class ScriptedPrompts : public Prompts {
  public:
    enum class Kind { Message, SaveFile, OpenFile, Color };
    struct Record {
        Kind kind = Kind::Message;
        QString text;
        QString caption;
        PromptIcon icon = PromptIcon::None;
        PromptButtons buttons = PromptButtons::Ok;
        PromptOwner owner = PromptOwner::Application;
        FileDialogRequest file;
    };

    // Answers for the prompts to come, in order.
    void answer_message(PromptAnswer a) { answers_.push_back({Kind::Message, a, {}, {}}); }
    void answer_save(std::optional<QString> path) {
        answers_.push_back({Kind::SaveFile, PromptAnswer::Ok, std::move(path), {}});
    }
    void answer_open(std::optional<QString> path) {
        answers_.push_back({Kind::OpenFile, PromptAnswer::Ok, std::move(path), {}});
    }
    void answer_color(std::optional<std::uint32_t> c) {
        answers_.push_back({Kind::Color, PromptAnswer::Ok, {}, c});
    }
    // Runs while the next message is on screen, as the event loop behind a box would.
    void while_next_message_open(std::function<void()> f) { while_open_ = std::move(f); }
    // Plain OK messages need no scripted answer (they are still recorded).
    void allow_ok_messages(bool allow = true) { allow_ok_ = allow; }

    const std::vector<Record>& records() const { return records_; }
    std::vector<Record> messages() const;
    const Record& last() const { return records_.back(); }
    bool empty() const { return records_.empty(); }
    int unused_answers() const { return static_cast<int>(answers_.size()); }
    void clear() {
        records_.clear();
        answers_.clear();
    }

    PromptAnswer message(const QString& text, const QString& caption, PromptIcon icon,
                         PromptButtons buttons, PromptOwner owner) override;
    std::optional<QString> save_file(const FileDialogRequest& request) override;
    std::optional<QString> open_file(const FileDialogRequest& request) override;
    std::optional<std::uint32_t> choose_color(std::uint32_t initial) override;

  private:
    struct Answer {
        Kind kind;
        PromptAnswer answer;
        std::optional<QString> path;
        std::optional<std::uint32_t> color;
    };
    std::optional<Answer> next(Kind kind, const QString& what);

    std::deque<Answer> answers_;
    std::vector<Record> records_;
    bool allow_ok_ = false;
    std::function<void()> while_open_;
};
