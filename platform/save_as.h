#pragma once

#include <QString>
#include <functional>

#include "platform/prompts.h"

// Asks where to save, then writes there; a write that fails is told as
// "Soubor <path> nelze zapsat: <reason>" under caption, with the error icon. True when
// the file was written.
bool save_as(Prompts& prompts, const FileDialogRequest& request, const QString& caption,
             const std::function<bool(const QString& path, QString* reason)>& write);
