#include "platform/qt_prompts.h"

#include <QColorDialog>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontMetrics>
#include <QGridLayout>
#include <QMessageBox>

#include "platform/color_ref.h"

namespace {

QMessageBox::Icon to_icon(PromptIcon icon) {
    switch (icon) {
        case PromptIcon::Information:
            return QMessageBox::Information;
        case PromptIcon::Warning:
            return QMessageBox::Warning;
        case PromptIcon::Error:
            return QMessageBox::Critical;
        case PromptIcon::Question:
            return QMessageBox::Question;
        case PromptIcon::None:
            break;
    }
    return QMessageBox::NoIcon;
}

void configure(QFileDialog& dlg, const FileDialogRequest& r) {
    if (!r.title.isEmpty()) dlg.setWindowTitle(r.title);
    if (!r.directory.isEmpty()) dlg.setDirectory(r.directory);
    if (!r.default_suffix.isEmpty()) dlg.setDefaultSuffix(r.default_suffix);
    // The descriptions already name their patterns.
    dlg.setOption(QFileDialog::HideNameFilterDetails);
    if (!r.filters.isEmpty()) {
        dlg.setNameFilters(r.filters);
        if (r.filter_index >= 0 && r.filter_index < r.filters.size())
            dlg.selectNameFilter(r.filters.at(r.filter_index));
    }
    // After the filter: selecting a filter in a save dialog rewrites the name's suffix
    // to the filter's ("caps.TXT" would be offered as "caps.txt").
    if (!r.file_name.isEmpty()) dlg.selectFile(r.file_name);
    dlg.setOption(QFileDialog::DontConfirmOverwrite, !r.overwrite_prompt);
}

}  // namespace

QWidget* QtPrompts::owner_window() const {
    // A main window not shown yet (an error at start-up) would be pulled on screen
    // unpainted behind the box.
    return main_window_ && main_window_->isVisible() ? main_window_ : nullptr;
}

int QtPrompts::message_min_width(const QString& caption, const QFont& font) {
    // The title bar's font is the window manager's; assume a larger bold one and room
    // for the icon and the title bar's buttons, so the caption is never cut.
    QFont title = font;
    title.setBold(true);
    if (title.pointSizeF() > 0)
        title.setPointSizeF(title.pointSizeF() * 1.25);
    else
        title.setPixelSize(title.pixelSize() * 5 / 4);
    return QFontMetrics(title).horizontalAdvance(caption) + 160;
}

PromptAnswer QtPrompts::message(const QString& text, const QString& caption, PromptIcon icon,
                                PromptButtons buttons, PromptOwner owner) {
    QMessageBox box(
        to_icon(icon), caption, text,
        buttons == PromptButtons::YesNo ? QMessageBox::Yes | QMessageBox::No : QMessageBox::Ok,
        owner == PromptOwner::Application ? owner_window() : nullptr);
    if (buttons == PromptButtons::YesNo) box.setDefaultButton(QMessageBox::Yes);
    // The box sizes itself to its text; a spacer across its grid holds a minimum width.
    if (auto* grid = qobject_cast<QGridLayout*>(box.layout()))
        grid->addItem(new QSpacerItem(message_min_width(caption, box.font()), 0,
                                      QSizePolicy::Minimum, QSizePolicy::Fixed),
                      grid->rowCount(), 0, 1, grid->columnCount());
    const int r = box.exec();
    if (r == QMessageBox::Yes) return PromptAnswer::Yes;
    if (r == QMessageBox::No) return PromptAnswer::No;
    return PromptAnswer::Ok;
}

std::optional<QString> QtPrompts::save_file(const FileDialogRequest& request) {
    QFileDialog dlg(owner_window());
    dlg.setAcceptMode(QFileDialog::AcceptSave);
    dlg.setFileMode(QFileDialog::AnyFile);
    configure(dlg, request);
    if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty()) return std::nullopt;
    return dlg.selectedFiles().constFirst();
}

std::optional<QString> QtPrompts::open_file(const FileDialogRequest& request) {
    QFileDialog dlg(owner_window());
    dlg.setAcceptMode(QFileDialog::AcceptOpen);
    dlg.setFileMode(request.file_must_exist ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    configure(dlg, request);
    if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty()) return std::nullopt;
    return dlg.selectedFiles().constFirst();
}

std::optional<std::uint32_t> QtPrompts::choose_color(std::uint32_t initial) {
    const QColor c = QColorDialog::getColor(color_from_ref(initial), owner_window());
    if (!c.isValid()) return std::nullopt;
    return color_to_ref(c);
}
