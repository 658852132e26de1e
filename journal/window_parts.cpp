#include "journal/window_parts.h"

#include <QDir>
#include <QHeaderView>
#include <QTableView>

#include "platform/atomic_file.h"
#include "platform/prompts.h"

namespace window_parts {

void set_up_list(QTableView& view, std::initializer_list<int> widths) {
    view.setSelectionBehavior(QAbstractItemView::SelectRows);
    view.setEditTriggers(QAbstractItemView::NoEditTriggers);
    view.setWordWrap(false);
    view.verticalHeader()->hide();
    view.horizontalHeader()->setStretchLastSection(true);
    int column = 0;
    for (int w : widths) view.setColumnWidth(column++, w);
}

std::optional<QString> ask_export_path(Prompts& prompts, const ExportFile& file) {
    FileDialogRequest r;
    r.title = file.title;
    r.file_name = file.file_name;
    r.default_suffix = file.suffix;
    r.filters = {file.filter};
    r.overwrite_prompt = true;
    return prompts.save_file(r);
}

bool write_export(Prompts& prompts, const QString& path, QByteArrayView bytes,
                  const QString& caption) {
    QString reason;
    if (AtomicFile::write(path, {bytes}, &reason)) return true;
    prompts.message(
        QStringLiteral("Soubor %1 nelze zapsat: %2.").arg(QDir::toNativeSeparators(path), reason),
        caption, PromptIcon::Error, PromptButtons::Ok, PromptOwner::None);
    return false;
}

}  // namespace window_parts
