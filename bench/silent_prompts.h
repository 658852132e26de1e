#pragma once

#include <cstdint>
#include <optional>

#include "platform/prompts.h"

// Benchmarks run unattended: every question is answered at once.
class SilentPrompts : public Prompts {
  public:
    PromptAnswer message(const QString&, const QString&, PromptIcon, PromptButtons,
                         PromptOwner) override {
        return PromptAnswer::Ok;
    }
    std::optional<QString> save_file(const FileDialogRequest&) override { return {}; }
    std::optional<QString> open_file(const FileDialogRequest&) override { return {}; }
    std::optional<std::uint32_t> choose_color(std::uint32_t) override { return {}; }
};
