#pragma once

#include <QByteArrayView>
#include <QString>
#include <initializer_list>
#include <optional>

class Prompts;
class QTableView;

// What the journal's and the alarms' windows share: their lists and their exports.
namespace window_parts {

// A read-only list of whole rows, the last column stretched, the others as wide as given.
void set_up_list(QTableView& view, std::initializer_list<int> widths);

struct ExportFile {
    QString title;      // of the file dialog
    QString file_name;  // offered
    QString suffix;     // added when the user types none
    QString filter;     // "CSV (*.csv)"
};
// Where to write; nothing when the user cancelled.
std::optional<QString> ask_export_path(Prompts& prompts, const ExportFile& file);
// Writes the whole file or leaves the old one; on failure the user is told under caption.
bool write_export(Prompts& prompts, const QString& path, QByteArrayView bytes,
                  const QString& caption);

}  // namespace window_parts
