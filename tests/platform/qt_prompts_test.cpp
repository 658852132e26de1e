#include "platform/qt_prompts.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontMetrics>
#include <QLibraryInfo>
#include <QLineEdit>
#include <QMainWindow>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTimer>
#include <functional>

#include "support/render.h"

namespace {

// Runs `inside` on the modal dialog the next prompt opens.
template <class Dialog>
void on_next_dialog(const std::function<void(Dialog*)>& inside) {
    QTimer::singleShot(0, [inside] {
        auto* d = qobject_cast<Dialog*>(QApplication::activeModalWidget());
        ASSERT_NE(d, nullptr);
        inside(d);
        if (d->isVisible()) d->reject();
    });
}

QString plain(QString text) { return text.remove(QLatin1Char('&')); }

class QtPromptsTest : public ::testing::Test {
  protected:
    void SetUp() override { qt_prompts.set_main_window(&main_window); }

    QMainWindow main_window;
    QtPrompts qt_prompts;
    Prompts& prompts = qt_prompts;
};

TEST_F(QtPromptsTest, QuestionButtonsAreCzechWithTheFrameworkCatalogue) {
    if (!QFileInfo::exists(QLibraryInfo::path(QLibraryInfo::TranslationsPath) +
                           QStringLiteral("/qtbase_cs.qm")))
        GTEST_SKIP() << "no Czech framework catalogue installed";
    on_next_dialog<QMessageBox>([](QMessageBox* box) {
        EXPECT_EQ(plain(box->button(QMessageBox::Yes)->text()), QStringLiteral("Ano"));
        EXPECT_EQ(plain(box->button(QMessageBox::No)->text()), QStringLiteral("Ne"));
        EXPECT_TRUE(render_window(box, QStringLiteral("question")));
        box->button(QMessageBox::No)->click();
    });
    EXPECT_EQ(prompts.message(QStringLiteral("Chceš vymazat naměřená data?"),
                              QStringLiteral("Clear"), PromptIcon::Question, PromptButtons::YesNo),
              PromptAnswer::No);
}

TEST_F(QtPromptsTest, MessageBoxLeavesRoomForItsWholeCaption) {
    on_next_dialog<QMessageBox>([](QMessageBox* box) {
        QFont bold = box->font();
        bold.setBold(true);
        // The caption in a bold title font plus the title bar's icon and three buttons.
        EXPECT_GE(box->width(),
                  QFontMetrics(bold).horizontalAdvance(QStringLiteral("Komunikace")) + 4 * 24);
        EXPECT_TRUE(render_window(box, QStringLiteral("message_komunikace")));
    });
    prompts.message(QStringLiteral("Chyba při čtení"), QStringLiteral("Komunikace"),
                    PromptIcon::Error, PromptButtons::Ok, PromptOwner::None);
}

TEST_F(QtPromptsTest, ErrorBeforeTheMainWindowIsShownKeepsTheMainWindowHidden) {
    on_next_dialog<QMessageBox>([this](QMessageBox* box) {
        EXPECT_EQ(box->parentWidget(), nullptr);
        EXPECT_FALSE(main_window.isVisible());
    });
    prompts.message(QStringLiteral("Sériový port COM1 nelze otevřít."), QStringLiteral("TX-20"),
                    PromptIcon::Error);
    EXPECT_FALSE(main_window.isVisible());

    main_window.show();
    on_next_dialog<QMessageBox>(
        [this](QMessageBox* box) { EXPECT_EQ(box->parentWidget(), &main_window); });
    prompts.message(QStringLiteral("x"), QStringLiteral("TX-20"), PromptIcon::Error);
    main_window.hide();
}

TEST_F(QtPromptsTest, SaveDialogOffersTheNameAsSavedAndTheFilterWithoutItsPattern) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    FileDialogRequest r;
    r.file_name = dir.filePath(QStringLiteral("caps.TXT"));
    r.default_suffix = QStringLiteral("TXT");
    r.filters = {QStringLiteral("Textový soubor [*.txt] (*.txt)")};
    on_next_dialog<QFileDialog>([](QFileDialog* d) {
        auto* name = d->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        auto* types = d->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
        ASSERT_NE(name, nullptr);
        ASSERT_NE(types, nullptr);
        EXPECT_EQ(name->text(), QStringLiteral("caps.TXT"));
        EXPECT_EQ(types->currentText(), QStringLiteral("Textový soubor [*.txt]"));
        EXPECT_TRUE(render_window(d, QStringLiteral("save_dialog")));
        static_cast<QDialog*>(d)->accept();  // QFileDialog's own is protected
    });
    const auto path = prompts.save_file(r);
    ASSERT_TRUE(path.has_value());
    EXPECT_EQ(QFileInfo(*path).fileName(), QStringLiteral("caps.TXT"));
}

}  // namespace
