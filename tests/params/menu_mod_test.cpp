#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

#include "comm/Unit_hl.h"
#include "params/Unitmenumod.h"
#include "params/catalogue.h"
#include "platform/errors.h"
#include "platform/private_profile.h"
#include "support/fake_line.h"
#include "support/scripted_prompts.h"
#include "tests/params/fake_controller.h"

namespace {

const QColor kSilver(0xC0, 0xC0, 0xC0);

class MenuModTest : public ::testing::Test {
protected:
    void SetUp() override {
        QLocale::setDefault(QLocale::c());
        req.set_device_address(1);
        req.set_computer_address(0);
        line.set_responder([this](const Bytes& b) { return controller.respond(b); });
        dlg = std::make_unique<Tmenu_mod>(req, prompts);
        dlg->show();
    }
    void TearDown() override { QLocale::setDefault(QLocale::c()); }

    QLineEdit* ed(const char* name) const { return dlg->findChild<QLineEdit*>(name); }
    QComboBox* cb(const char* name) const { return dlg->findChild<QComboBox*>(name); }
    QTabWidget* tabs() const { return dlg->findChild<QTabWidget*>("PageControl"); }
    QPushButton* button(const char* name) const { return dlg->findChild<QPushButton*>(name); }
    QProgressBar* bar() const { return dlg->findChild<QProgressBar*>("bar_load"); }

    // As the user does it: a click on the tab.
    void click_tab(int position) {
        QTabBar* b = tabs()->tabBar();
        QTest::mouseClick(b, Qt::LeftButton, {}, b->tabRect(position).center());
    }
    void click(const char* name) { QTest::mouseClick(button(name), Qt::LeftButton); }
    // Moves through the tabs to position, every tab on the way collecting cleanly.
    void go_to(int position) {
        click_tab(position);
        ASSERT_EQ(tabs()->currentIndex(), position);
    }
    // Tables requested from the line, in order.
    std::vector<int> tables_sent(std::uint8_t cmd) const {
        std::vector<int> out;
        for (const Bytes& w : line.writes())
            if (w.size() > 8 && w[0] == telegram::SD2 && w[7] == cmd) out.push_back(w[8]);
        return out;
    }

    FakeLine line;
    ScriptedPrompts prompts;
    DeviceData data;
    CommBuffer buffer;
    RequestLayer req{line, prompts, data, buffer};
    FakeController controller;
    std::unique_ptr<Tmenu_mod> dlg;
};

// ---- Look ----

TEST_F(MenuModTest, RendersEveryTabToPng) {
    dlg->apply_presets();
    for (int i = 0; i < tabs()->count(); ++i) {
        tabs()->setCurrentIndex(i);
        const QString path = QDir::temp().filePath(QStringLiteral("tx20_menu_mod_%1.png").arg(i));
        EXPECT_TRUE(dlg->grab().save(path));
    }
}

}  // namespace
