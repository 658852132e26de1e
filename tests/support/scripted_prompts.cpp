#include "support/scripted_prompts.h"

#include <gtest/gtest.h>

#include <utility>

std::vector<ScriptedPrompts::Record> ScriptedPrompts::messages() const {
    std::vector<Record> out;
    for (const auto& r : records_)
        if (r.kind == Kind::Message) out.push_back(r);
    return out;
}

std::optional<ScriptedPrompts::Answer> ScriptedPrompts::next(Kind kind, const QString& what) {
    if (answers_.empty() || answers_.front().kind != kind) {
        ADD_FAILURE() << "unexpected prompt: " << what.toStdString();
        return std::nullopt;
    }
    Answer a = answers_.front();
    answers_.pop_front();
    return a;
}

PromptAnswer ScriptedPrompts::message(const QString& text, const QString& caption, PromptIcon icon,
                                      PromptButtons buttons, PromptOwner owner) {
    Record r;
    r.kind = Kind::Message;
    r.text = text;
    r.caption = caption;
    r.icon = icon;
    r.buttons = buttons;
    r.owner = owner;
    records_.push_back(r);
    if (while_open_) std::exchange(while_open_, nullptr)();
    if (buttons == PromptButtons::Ok && allow_ok_ &&
        (answers_.empty() || answers_.front().kind != Kind::Message))
        return PromptAnswer::Ok;
    auto a = next(Kind::Message, caption + QStringLiteral(": ") + text);
    if (!a) return buttons == PromptButtons::YesNo ? PromptAnswer::No : PromptAnswer::Ok;
    return a->answer;
}

std::optional<QString> ScriptedPrompts::save_file(const FileDialogRequest& request) {
    Record r;
    r.kind = Kind::SaveFile;
    r.caption = request.title;
    r.file = request;
    records_.push_back(r);
    auto a = next(Kind::SaveFile, QStringLiteral("save dialog ") + request.title);
    return a ? a->path : std::nullopt;
}

std::optional<QString> ScriptedPrompts::open_file(const FileDialogRequest& request) {
    Record r;
    r.kind = Kind::OpenFile;
    r.caption = request.title;
    r.file = request;
    records_.push_back(r);
    auto a = next(Kind::OpenFile, QStringLiteral("open dialog ") + request.title);
    return a ? a->path : std::nullopt;
}

std::optional<std::uint32_t> ScriptedPrompts::choose_color(std::uint32_t initial) {
    Record r;
    r.kind = Kind::Color;
    r.text = QString::number(initial);
    records_.push_back(r);
    auto a = next(Kind::Color, QStringLiteral("colour dialog"));
    return a ? a->color : std::nullopt;
}
