#include "platform/save_as.h"

bool save_as(Prompts& prompts, const FileDialogRequest& request, const QString& caption,
             const std::function<bool(const QString& path, QString* reason)>& write) {
    const auto path = prompts.save_file(request);
    if (!path) return false;
    QString reason;
    if (write(*path, &reason)) return true;
    prompts.message(QStringLiteral("Soubor %1 nelze zapsat: %2").arg(*path, reason), caption,
                    PromptIcon::Error);
    return false;
}
