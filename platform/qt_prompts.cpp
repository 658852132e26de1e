#include "platform/qt_prompts.h"

#include <QColorDialog>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>

namespace {

QMessageBox::Icon to_icon(PromptIcon icon) {
    switch (icon) {
        case PromptIcon::Information: return QMessageBox::Information;
        case PromptIcon::Warning: return QMessageBox::Warning;
        case PromptIcon::Error: return QMessageBox::Critical;
        case PromptIcon::Question: return QMessageBox::Question;
        case PromptIcon::None: break;
    }
    return QMessageBox::NoIcon;
}

void configure(QFileDialog& dlg, const FileDialogRequest& r) {
    if (!r.title.isEmpty()) dlg.setWindowTitle(r.title);
    if (!r.directory.isEmpty()) dlg.setDirectory(r.directory);
    if (!r.file_name.isEmpty()) dlg.selectFile(r.file_name);
    if (!r.default_suffix.isEmpty()) dlg.setDefaultSuffix(r.default_suffix);
    if (!r.filters.isEmpty()) {
        dlg.setNameFilters(r.filters);
        if (r.filter_index >= 0 && r.filter_index < r.filters.size())
            dlg.selectNameFilter(r.filters.at(r.filter_index));
    }
    dlg.setOption(QFileDialog::DontConfirmOverwrite, !r.overwrite_prompt);
}

}  // namespace

PromptAnswer QtPrompts::message(const QString& text, const QString& caption, PromptIcon icon,
                                PromptButtons buttons, PromptOwner owner) {
    QMessageBox box(to_icon(icon), caption, text,
                    buttons == PromptButtons::YesNo ? QMessageBox::Yes | QMessageBox::No
                                                    : QMessageBox::Ok,
                    owner == PromptOwner::Application ? main_window_ : nullptr);
    if (buttons == PromptButtons::YesNo) box.setDefaultButton(QMessageBox::Yes);
    const int r = box.exec();
    if (r == QMessageBox::Yes) return PromptAnswer::Yes;
    if (r == QMessageBox::No) return PromptAnswer::No;
    return PromptAnswer::Ok;
}

std::optional<QString> QtPrompts::save_file(const FileDialogRequest& request) {
    QFileDialog dlg(main_window_);
    dlg.setAcceptMode(QFileDialog::AcceptSave);
    dlg.setFileMode(QFileDialog::AnyFile);
    configure(dlg, request);
    if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty()) return std::nullopt;
    return dlg.selectedFiles().constFirst();
}

std::optional<QString> QtPrompts::open_file(const FileDialogRequest& request) {
    QFileDialog dlg(main_window_);
    dlg.setAcceptMode(QFileDialog::AcceptOpen);
    dlg.setFileMode(request.file_must_exist ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    configure(dlg, request);
    if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty()) return std::nullopt;
    return dlg.selectedFiles().constFirst();
}

std::optional<std::uint32_t> QtPrompts::choose_color(std::uint32_t initial) {
    const QColor start(static_cast<int>(initial & 0xFF), static_cast<int>((initial >> 8) & 0xFF),
                       static_cast<int>((initial >> 16) & 0xFF));
    const QColor c = QColorDialog::getColor(start, main_window_);
    if (!c.isValid()) return std::nullopt;
    return static_cast<std::uint32_t>(c.red()) | (static_cast<std::uint32_t>(c.green()) << 8) |
           (static_cast<std::uint32_t>(c.blue()) << 16);
}
