#include <gtest/gtest.h>

#include <QAbstractItemView>
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
#include "comm/bus_worker.h"
#include "params/Unitmenumod.h"
#include "params/catalogue.h"
#include "platform/errors.h"
#include "platform/private_profile.h"
#include "support/fake_line.h"
#include "support/render.h"
#include "support/scripted_prompts.h"
#include "tests/params/fake_controller.h"
#include "tests/params/print_qstring.h"

namespace {

const QColor kSilver(0xC0, 0xC0, 0xC0);

class MenuModTest : public ::testing::Test {
  protected:
    void SetUp() override {
        QLocale::setDefault(QLocale::c());
        req.set_device_address(1);
        req.set_computer_address(0);
        line.set_responder([this](const Bytes& b) { return controller.respond(b); });
        dlg = std::make_unique<Tmenu_mod>(bus, prompts);
        // As before every showing: the progress dialog presets the controls.
        dlg->apply_presets();
        dlg->show();
    }
    void TearDown() override { QLocale::setDefault(QLocale::system()); }

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
    BusWorker bus{req, prompts};
    FakeController controller;
    std::unique_ptr<Tmenu_mod> dlg;
};

// ---- Look ----

TEST_F(MenuModTest, RendersEveryTabToPng) {
    QLocale::setDefault(QLocale(QLocale::Czech, QLocale::Czechia));
    data.comp = CompGroup{55.0f, 0.0f, 100.0f};
    data.sens.TYPE = 4;
    data.alarm1.RALA = 2;
    dlg->hide();
    dlg->show();
    for (int i = 0; i < tabs()->count(); ++i) {
        tabs()->setCurrentIndex(i);
        EXPECT_TRUE(render_window(dlg.get(), QStringLiteral("menu_mod_%1").arg(i)));
    }
    // The longest lists, opened.
    for (const char* name : {"cb_sens", "cb_rala1", "cb_erro12", "cb_f2"}) {
        tabs()->setCurrentWidget(tabs()->widget(params::find_control(QLatin1String(name))->tab));
        cb(name)->showPopup();
        QWidget* popup = cb(name)->view()->window();
        EXPECT_TRUE(render_window(popup, QStringLiteral("menu_mod_%1").arg(QLatin1String(name))));
        cb(name)->hidePopup();
    }
}

// ---- Structure ----

TEST_F(MenuModTest, HasNineTabsAndTheButtonsOfTheDialog) {
    EXPECT_EQ(dlg->windowTitle(), QStringLiteral("KELVRA 20 DATA"));
    const char* pages[] = {"ta_comp", "ta_ala1", "ta_pid",   "ta_rego", "ta_sens",
                           "ta_daco", "ta_erro", "ta_ostat", "ta_add"};
    const char* captions[] = {"COMP", "ALARM 1", "PID",  "REGO", "SENS",
                              "DACO", "ERRO",    "OST_", "ADD"};
    ASSERT_EQ(dlg->page_count(), 9);
    for (int i = 0; i < 9; ++i) {
        EXPECT_EQ(tabs()->widget(i)->objectName(), QLatin1String(pages[i]));
        EXPECT_EQ(tabs()->tabText(i), QLatin1String(captions[i]));
    }
    struct Button {
        const char* name;
        const char* caption;
        const char* hint;
    } buttons[] = {
        {"tl_cteni", "Čtení", "Čtení dat z regulátoru této karty"},
        {"tl_zapis", "Zápis", "Zápis dat do regulátoru této karty"},
        {"tl_eeprom", "EEPROM", "Zápis dat do EEPROM v regulátoru"},
        {"tl_otevrit", "Otevřít...", "Načtení uložených dat ze souboru na karty regulátorů"},
        {"tl_ulozit", "Uložit...", "Uložení nastavených dat do souboru"},
        {"tl_cancel", "Storno", "Opuštění nastavení regulátoru"},
    };
    for (const Button& b : buttons) {
        ASSERT_NE(button(b.name), nullptr) << b.name;
        EXPECT_EQ(button(b.name)->text(), QString::fromUtf8(b.caption));
        EXPECT_EQ(button(b.name)->toolTip(), QString::fromUtf8(b.hint));
        EXPECT_TRUE(button(b.name)->isVisible()) << b.name;  // on every tab
    }
    EXPECT_FALSE(bar()->isVisible());
}

TEST_F(MenuModTest, EveryParameterHasItsControlOnItsTab) {
    for (const params::ParamDef& p : params::catalogue()) {
        QWidget* page = tabs()->widget(p.tab);
        if (params::is_list(p.kind)) {
            QComboBox* c = page->findChild<QComboBox*>(QLatin1String(p.control));
            ASSERT_NE(c, nullptr) << p.control;
            ASSERT_EQ(c->count(), p.entries.count);
            for (int i = 0; i < c->count(); ++i) EXPECT_EQ(c->itemText(i), p.entry(i));
        } else {
            EXPECT_NE(page->findChild<QLineEdit*>(QLatin1String(p.control)), nullptr) << p.control;
        }
        // Its label stands on the same tab.
        bool labelled = false;
        for (QLabel* l : page->findChildren<QLabel*>())
            labelled |= l->text() == QString::fromUtf8(p.label);
        EXPECT_TRUE(labelled) << p.control;
    }
}

TEST_F(MenuModTest, CancelAndEscapeCloseWithoutStoringAnything) {
    ed("ed_sp")->setText(QStringLiteral("42"));
    click("tl_cancel");
    EXPECT_FALSE(dlg->isVisible());
    EXPECT_EQ(dlg->result(), QDialog::Rejected);
    dlg->show();
    ed("ed_sp")->setText(QStringLiteral("42"));
    QTest::keyClick(dlg.get(), Qt::Key_Escape);
    EXPECT_FALSE(dlg->isVisible());
    EXPECT_EQ(data.comp.SP, 0.0f);
    EXPECT_TRUE(line.writes().empty());
}

// ---- Showing and filling ----

TEST_F(MenuModTest, EveryShowingStartsOnCompFilledFromDeviceData) {
    data.comp = CompGroup{25.0f, 0.0f, 100.0f};
    data.pid.PB = 3.0f;
    dlg->hide();
    dlg->show();
    go_to(2);
    ed("ed_pb")->setText(QStringLiteral("99"));
    dlg->hide();
    dlg->show();
    EXPECT_EQ(tabs()->currentIndex(), 0);
    EXPECT_EQ(dlg->ShownTab(), 0);
    EXPECT_EQ(ed("ed_sp")->text(), QStringLiteral("25.00"));
    go_to(2);
    EXPECT_EQ(ed("ed_pb")->text(), QStringLiteral("3.00"));
    EXPECT_TRUE(line.writes().empty());
}

// Data -> controls: each field, through the catalogue's conversion, into its own control.
TEST_F(MenuModTest, FillingPutsEveryFieldIntoItsControl) {
    int n = 0;
    for (const params::ParamDef& p : params::catalogue()) {
        if (params::is_list(p.kind))
            params::store_position(p, data, ++n % p.entries.count);
        else
            params::store_text(p, data, QString::number(++n));
    }
    for (int i = 0; i < 9; ++i) dlg->FillTab(i);
    for (const params::ParamDef& p : params::catalogue()) {
        if (params::is_list(p.kind))
            EXPECT_EQ(cb(p.control)->currentIndex(), params::list_position(p, data)) << p.control;
        else
            EXPECT_EQ(ed(p.control)->text(), params::edit_text(p, data)) << p.control;
    }
}

// Controls -> data: each control, through the catalogue's conversion, into its own field.
TEST_F(MenuModTest, CollectingStoresEveryControlInItsField) {
    DeviceData want;
    const auto put = [&](const params::ParamDef& p, int value) {
        if (params::is_list(p.kind)) {
            cb(p.control)->setCurrentIndex(value % p.entries.count);
            params::store_position(p, want, value % p.entries.count);
        } else {
            ed(p.control)->setText(QString::number(value));
            params::store_text(p, want, QString::number(value));
        }
    };
    int n = 400;  // past a byte, where the address keeps only its low eight bits
    for (const params::ParamDef& p : params::catalogue()) put(p, ++n);
    // The set point within its limits.
    put(*params::find_control(QStringLiteral("ed_sp")), 2);
    put(*params::find_control(QStringLiteral("ed_sp_l")), 1);
    put(*params::find_control(QStringLiteral("ed_sp_h")), 3);
    for (int i = 0; i < 9; ++i) EXPECT_EQ(dlg->CollectTab(i), 0) << i;
    for (const params::ParamDef& p : params::catalogue()) {
        if (params::is_list(p.kind))
            EXPECT_EQ(params::list_position(p, data), params::list_position(p, want)) << p.control;
        else
            EXPECT_EQ(params::edit_text(p, data), params::edit_text(p, want)) << p.control;
    }
    EXPECT_TRUE(prompts.empty());
}

TEST_F(MenuModTest, ShowingAFieldNeverChangesIt) {
    data.rego.TPID = 0;
    data.sens.TYPE = 20;
    go_to(3);
    go_to(4);
    go_to(3);
    EXPECT_EQ(data.rego.TPID, 0);
    controller.silent = true;
    prompts.allow_ok_messages();
    click("tl_cteni");
    EXPECT_EQ(cb("cb_tpid")->currentIndex(), -1);
    EXPECT_EQ(data.rego.TPID, 0);
}

TEST_F(MenuModTest, PresetsPutEveryControlButTheSetPoint) {
    data.rego.RESV = 77;
    ed("ed_sp")->setText(QStringLiteral("12"));
    cb("cb_rala1")->setCurrentIndex(3);
    dlg->apply_presets();
    EXPECT_EQ(ed("ed_sp")->text(), QStringLiteral("12"));
    EXPECT_EQ(data.rego.RESV, 0);
    for (const params::ParamDef& p : params::catalogue()) {
        if (!p.preset.set) continue;
        if (params::is_list(p.kind))
            EXPECT_EQ(cb(p.control)->currentIndex(), p.preset.position) << p.control;
        else
            EXPECT_EQ(ed(p.control)->text(), QString::fromUtf8(p.preset.text)) << p.control;
    }
    EXPECT_EQ(cb("cb_tpid")->currentText(), QStringLiteral("2"));
    EXPECT_EQ(ed("ed_splo1")->palette().color(QPalette::Base), kSilver);
}

// ---- Entries ----

TEST_F(MenuModTest, LeavingATabWithANonNumberStaysThereUntilItIsMended) {
    go_to(2);
    data.pid.INT = 5.0f;
    ed("ed_ti")->setText(QStringLiteral("abc"));
    prompts.allow_ok_messages();
    click_tab(3);
    EXPECT_EQ(tabs()->currentIndex(), 2);
    EXPECT_EQ(dlg->ShownTab(), 2);
    ASSERT_EQ(prompts.messages().size(), 1u);
    const auto m = prompts.last();
    EXPECT_EQ(m.text, QStringLiteral("Je nutné zadávat pouze čísla nebo desetinnou čárku"));
    EXPECT_EQ(m.caption, QStringLiteral("CHYBA"));
    EXPECT_EQ(m.icon, PromptIcon::Warning);
    EXPECT_EQ(m.owner, PromptOwner::Application);
    EXPECT_EQ(data.pid.INT, 0.0f);
    EXPECT_EQ(ed("ed_ti")->text(), QStringLiteral("0"));
    EXPECT_EQ(dlg->focusWidget(), ed("ed_ti"));
    click_tab(3);
    EXPECT_EQ(tabs()->currentIndex(), 3);
    EXPECT_EQ(prompts.messages().size(), 1u);
}

TEST_F(MenuModTest, EveryFieldOfATabIsTriedAndEachFailureReported) {
    prompts.allow_ok_messages();
    ed("ed_adresa")->setText(QStringLiteral("x"));
    EXPECT_NE(dlg->CollectTab(8), 0);
    EXPECT_EQ(prompts.last().text, QStringLiteral("Je nutné zadávat pouze čísla"));
    prompts.clear();
    ed("ed_strs")->setText(QStringLiteral("a"));
    ed("ed_ends")->setText(QStringLiteral("7"));
    ed("ed_offs")->setText(QStringLiteral("b"));
    prompts.allow_ok_messages();
    EXPECT_NE(dlg->CollectTab(4), 0);
    EXPECT_EQ(prompts.messages().size(), 2u);
    EXPECT_EQ(data.sens.ENDS, 7.0f);
}

TEST_F(MenuModTest, SetPointRuleAllowsEqualityAndRefusesAHundredthBelow) {
    struct Case {
        const char *sp, *lo, *hi;
        bool stored;
    } cases[] = {
        {"5", "5", "5", true},  {"4.99", "5", "10", false}, {"10.01", "5", "10", false},
        {"7", "5", "10", true}, {"7", "10", "5", false},
    };
    for (const Case& c : cases) {
        data.comp = CompGroup{1, 2, 3};
        prompts.clear();
        prompts.allow_ok_messages();
        ed("ed_sp")->setText(QLatin1String(c.sp));
        ed("ed_sp_l")->setText(QLatin1String(c.lo));
        ed("ed_sp_h")->setText(QLatin1String(c.hi));
        click_tab(1);
        if (c.stored) {
            EXPECT_EQ(tabs()->currentIndex(), 1) << c.sp;
            EXPECT_EQ(data.comp.SP, QString::fromLatin1(c.sp).toFloat());
            EXPECT_TRUE(prompts.empty());
            click_tab(0);
        } else {
            EXPECT_EQ(tabs()->currentIndex(), 0) << c.sp;
            EXPECT_EQ(data.comp.SP, 1.0f);
            EXPECT_EQ(data.comp.SP_L, 2.0f);
            EXPECT_EQ(data.comp.SP_H, 3.0f);
            ASSERT_EQ(prompts.messages().size(), 1u);
            EXPECT_EQ(prompts.last().text,
                      QStringLiteral(" Žádaná hodnota je mimo hranice nastavení"));
            EXPECT_EQ(prompts.last().caption, QStringLiteral("Mezní hodnota"));
            EXPECT_EQ(prompts.last().icon, PromptIcon::Information);
            EXPECT_EQ(prompts.last().owner, PromptOwner::None);
        }
    }
}

TEST_F(MenuModTest, SetPointThatIsNoNumberRaisesAConversionErrorAndStoresNothing) {
    data.comp = CompGroup{1, 2, 3};
    ed("ed_sp")->setText(QStringLiteral("abc"));
    ed("ed_sp_l")->setText(QStringLiteral("0"));
    ed("ed_sp_h")->setText(QStringLiteral("x"));
    try {
        dlg->CollectTab(0);
        FAIL() << "no error";
    } catch (const ConvertError& e) {
        EXPECT_EQ(e.message(), QStringLiteral("'abc' is not a valid floating point value"));
    }
    EXPECT_EQ(data.comp.SP, 1.0f);
    // Writing stops there too, and the bar does not stay up.
    EXPECT_THROW(dlg->tl_zapisClick(), ConvertError);
    EXPECT_TRUE(line.writes().empty());
    EXPECT_FALSE(bar()->isVisible());
}

TEST_F(MenuModTest, ConversionErrorOnLeavingCompReturnsToComp) {
    ed("ed_sp")->setText(QStringLiteral("abc"));
    {
        const QSignalBlocker block(tabs());
        tabs()->setCurrentIndex(2);
    }
    EXPECT_THROW(dlg->PageControlChange(), ConvertError);
    EXPECT_EQ(tabs()->currentIndex(), 0);
    EXPECT_EQ(dlg->ShownTab(), 0);
}

TEST_F(MenuModTest, SploColourFollowsTheAlarmMode) {
    go_to(1);
    QComboBox* rala = cb("cb_rala1");
    QLineEdit* splo = ed("ed_splo1");
    const QColor window = QApplication::palette(splo).color(QPalette::Base);
    ASSERT_NE(window, kSilver);
    EXPECT_EQ(splo->palette().color(QPalette::Base), kSilver);
    struct Case {
        int position;
        QColor colour;
    } cases[] = {{2, window}, {0, kSilver}, {3, window}, {1, kSilver}};
    for (const Case& c : cases) {
        // As the user picks it.
        rala->setCurrentIndex(c.position);
        emit rala->activated(c.position);
        EXPECT_EQ(splo->palette().color(QPalette::Base), c.colour) << c.position;
        EXPECT_TRUE(splo->isEnabled());
    }
    QTest::keyClicks(splo, QStringLiteral("7"));
    EXPECT_TRUE(splo->text().endsWith(QLatin1Char('7')));
    data.alarm1.RALA = 3;
    dlg->FillTab(1);
    EXPECT_EQ(splo->palette().color(QPalette::Base), window);
    data.alarm1.RALA = 9;
    dlg->FillTab(1);
    EXPECT_EQ(splo->palette().color(QPalette::Base), kSilver);
}

// ---- Talking to the controller ----

TEST_F(MenuModTest, ReadUsesTheTabsTableAndFillsItsPosition) {
    controller.device.pid.PB = 4.0f;
    controller.device.sens.OFFS = 1.5f;
    go_to(2);
    click("tl_cteni");
    EXPECT_EQ(ed("ed_pb")->text(), QStringLiteral("4.00"));
    go_to(4);
    click("tl_cteni");
    EXPECT_EQ(ed("ed_offs")->text(), QStringLiteral("1.50"));
    EXPECT_EQ(tables_sent(telegram::CMD_READ), (std::vector<int>{3, 2}));
    EXPECT_FALSE(bar()->isVisible());
    EXPECT_EQ(bar()->value(), 0);
}

TEST_F(MenuModTest, FailedReadReportsAndShowsThePreviousValues) {
    data.pid.PB = 3.0f;
    go_to(2);
    ed("ed_pb")->setText(QStringLiteral("99"));
    controller.silent = true;
    prompts.allow_ok_messages();
    click("tl_cteni");
    ASSERT_EQ(prompts.messages().size(), 1u);
    EXPECT_EQ(prompts.last().text, QStringLiteral("Chyba při čtení"));
    EXPECT_EQ(prompts.last().caption, QStringLiteral("Komunikace"));
    EXPECT_EQ(prompts.last().icon, PromptIcon::Error);
    EXPECT_EQ(prompts.last().owner, PromptOwner::None);
    EXPECT_EQ(ed("ed_pb")->text(), QStringLiteral("3.00"));
}

TEST_F(MenuModTest, WritingTheAddressMovesTheDestinationOnlyOnSuccess) {
    go_to(8);
    ed("ed_adresa")->setText(QStringLiteral("5"));
    click("tl_zapis");
    EXPECT_EQ(controller.address, 5);
    EXPECT_EQ(req.device_address(), 5);
    click("tl_cteni");
    EXPECT_EQ(line.writes().back()[4], 5);  // later requests go to the new address

    controller.silent = true;
    prompts.allow_ok_messages();
    ed("ed_adresa")->setText(QStringLiteral("9"));
    click("tl_zapis");
    EXPECT_EQ(req.device_address(), 5);
    EXPECT_EQ(prompts.last().text, QStringLiteral("Chyba při zápisu"));
    EXPECT_EQ(prompts.last().owner, PromptOwner::None);

    const auto sent = line.writes().size();
    ed("ed_adresa")->setText(QStringLiteral("a"));
    click("tl_zapis");
    EXPECT_EQ(line.writes().size(), sent);
    EXPECT_EQ(prompts.last().caption, QStringLiteral("CHYBA"));
    EXPECT_EQ(req.device_address(), 5);
    EXPECT_FALSE(bar()->isVisible());
}

TEST_F(MenuModTest, WritingOtherTablesLeavesTheAddress) {
    data.add.ADD = 9;
    go_to(2);
    click("tl_zapis");
    EXPECT_EQ(tables_sent(telegram::CMD_WRITE), std::vector<int>{3});
    EXPECT_EQ(req.device_address(), 1);
}

TEST_F(MenuModTest, WritingRegoAlwaysSendsResvZero) {
    controller.device.rego.RESV = 77;
    data.rego.RESV = 1234;
    go_to(3);
    ed("ed_dser")->setText(QStringLiteral("70000"));
    click("tl_zapis");
    EXPECT_EQ(controller.device.rego.RESV, 0);
    EXPECT_EQ(controller.device.rego.DSER, 70000 & 0xFFFF);  // only 16 bits travel
    EXPECT_EQ(data.rego.DSER, 70000);
}

TEST_F(MenuModTest, EepromCommitsWithoutSendingWhatWasTyped) {
    go_to(2);
    ed("ed_pb")->setText(QStringLiteral("50"));
    click("tl_eeprom");
    EXPECT_EQ(controller.eeprom_commits, 1);
    ASSERT_EQ(line.writes().size(), 1u);
    EXPECT_EQ(line.writes()[0][7], telegram::CMD_EEPROM);
    EXPECT_EQ(data.pid.PB, 0.0f);
    EXPECT_FALSE(bar()->isVisible());
    EXPECT_EQ(bar()->value(), 100);

    controller.silent = true;
    prompts.allow_ok_messages();
    click("tl_eeprom");
    EXPECT_EQ(prompts.last().text, QStringLiteral("Chyba při zápisu do EEPROM"));
    EXPECT_EQ(prompts.last().owner, PromptOwner::None);
}

// ---- Parameter files ----

class MenuModFileTest : public MenuModTest {
  protected:
    QString file(const char* name = "Kelvra20.INI") const {
        return dir.filePath(QLatin1String(name));
    }
    void put(const QByteArray& bytes) const {
        QFile f(file());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    void save() {
        prompts.answer_save(file());
        dlg->tl_ulozitClick();
    }
    void open(const QString& path) {
        prompts.answer_open(path);
        dlg->tl_otevritClick();
    }
    void open() { open(file()); }
    QTemporaryDir dir;
};

TEST_F(MenuModFileTest, SaveAndLoadRestoreEveryControlButTeac) {
    QLocale::setDefault(QLocale(QLocale::Czech, QLocale::Czechia));
    // Distinct valid values everywhere, the set point within its limits.
    int n = 0;
    for (const params::ParamDef& p : params::catalogue()) {
        if (params::is_list(p.kind))
            cb(p.control)->setCurrentIndex(p.entries.count - 1);
        else
            ed(p.control)->setText(p.kind == params::ValueKind::Real
                                       ? QStringLiteral("%1,25").arg(++n)
                                       : QString::number(++n));
    }
    ed("ed_sp")->setText(QStringLiteral("2,25"));
    ed("ed_sp_l")->setText(QStringLiteral("1,25"));
    ed("ed_sp_h")->setText(QStringLiteral("3,25"));
    QHash<QString, QString> texts;
    QHash<QString, int> positions;
    for (const params::ParamDef& p : params::catalogue()) {
        if (params::is_list(p.kind))
            positions[QLatin1String(p.control)] = cb(p.control)->currentIndex();
        else
            texts[QLatin1String(p.control)] = ed(p.control)->text();
    }
    save();
    dlg->apply_presets();
    cb("cb_teac")->setCurrentIndex(0);
    open();
    EXPECT_TRUE(prompts.messages().empty());
    for (const params::ParamDef& p : params::catalogue()) {
        if (!p.ini_key) continue;
        if (params::is_list(p.kind))
            EXPECT_EQ(cb(p.control)->currentIndex(), positions[QLatin1String(p.control)])
                << p.control;
        else
            EXPECT_EQ(ed(p.control)->text(), texts[QLatin1String(p.control)]) << p.control;
    }
    EXPECT_EQ(cb("cb_teac")->currentIndex(), 0);
    EXPECT_EQ(cb("cb_level")->currentIndex(), 1);
    // Loading stores every tab in DeviceData but sends nothing.
    EXPECT_EQ(data.comp.SP, 2.25f);
    EXPECT_EQ(data.rego.TPID, 10);
    EXPECT_EQ(data.ost.LEVL, 1);
    EXPECT_EQ(data.rego.RESV, 0);
    EXPECT_EQ(data.add.ADD, n);
    EXPECT_TRUE(line.writes().empty());
    EXPECT_EQ(req.device_address(), 1);
    EXPECT_EQ(PrivateProfile::read_int(file(), "REGO", "TPID", 0), 9);
}

TEST_F(MenuModFileTest, AMissingFileLoadsTheDefaultsAndStaysOnTheTab) {
    go_to(5);
    open(file("new.ini"));
    EXPECT_EQ(tabs()->currentIndex(), 5);
    EXPECT_EQ(dlg->ShownTab(), 5);
    EXPECT_EQ(ed("ed_sp_h")->text(), QStringLiteral("100"));
    EXPECT_EQ(data.comp.SP_H, 100.0f);
    EXPECT_FALSE(QFile::exists(file("new.ini")));
}

TEST_F(MenuModFileTest, WrongSignatureChangesNothing) {
    put("[IDENT]\r\nVERSION=kelvra20 [v.1.0]\r\n[PID]\r\nPB=7\r\n");
    ed("ed_pb")->setText(QStringLiteral("3"));
    prompts.allow_ok_messages();
    open();
    ASSERT_EQ(prompts.messages().size(), 1u);
    EXPECT_EQ(prompts.last().text, QStringLiteral("INI soubor není typu KELVRA 20 [V.1.0]"));
    EXPECT_EQ(prompts.last().caption, QStringLiteral("INI SOUBOR"));
    EXPECT_EQ(prompts.last().icon, PromptIcon::Error);
    EXPECT_EQ(ed("ed_pb")->text(), QStringLiteral("3"));
    EXPECT_EQ(data.pid.PB, 0.0f);
}

TEST_F(MenuModFileTest, SetPointOutsideItsLimitsKeepsCompAndLoadsTheRest) {
    data.comp = CompGroup{1, 2, 3};
    put("[COMP]\r\nSP=150\r\nSP_H=100\r\n[PID]\r\nPB=8\r\n");
    prompts.allow_ok_messages();
    open();
    ASSERT_EQ(prompts.messages().size(), 1u);
    EXPECT_EQ(prompts.last().caption, QStringLiteral("Mezní hodnota"));
    EXPECT_EQ(data.comp.SP, 1.0f);
    EXPECT_EQ(data.comp.SP_H, 3.0f);
    EXPECT_EQ(data.pid.PB, 8.0f);
}

TEST_F(MenuModFileTest, CommaTextsUnderAPointLocaleFailAndBecomeZero) {
    QLocale::setDefault(QLocale(QLocale::Czech, QLocale::Czechia));
    ed("ed_hyst1")->setText(QStringLiteral("25,00"));
    save();
    QLocale::setDefault(QLocale::c());
    data.alarm1.HYST = 9.0f;
    prompts.allow_ok_messages();
    open();
    ASSERT_EQ(prompts.messages().size(), 1u);
    EXPECT_EQ(prompts.last().caption, QStringLiteral("CHYBA"));
    EXPECT_EQ(data.alarm1.HYST, 0.0f);
    EXPECT_EQ(ed("ed_hyst1")->text(), QStringLiteral("0"));
    EXPECT_EQ(data.pid.PB, 1.0f);  // later tabs still loaded
}

TEST_F(MenuModFileTest, NonNumberSetPointEndsTheLoadAtComp) {
    put("[COMP]\r\nSP=abc\r\n[PID]\r\nPB=8\r\n");
    ed("ed_pb")->setText(QStringLiteral("3"));
    EXPECT_THROW(open(), ConvertError);
    EXPECT_EQ(ed("ed_pb")->text(), QStringLiteral("3"));
    EXPECT_EQ(data.pid.PB, 0.0f);
}

TEST_F(MenuModFileTest, SaveRecordsWhatTheControlsShowUnchecked) {
    dlg->apply_presets();
    ed("ed_pb")->setText(QStringLiteral("nic"));
    save();
    EXPECT_EQ(PrivateProfile::read_string(file(), "PID", "PB", QString()), QStringLiteral("nic"));
    EXPECT_EQ(PrivateProfile::read_int(file(), "REGO", "TPID", 0),
              1);  // the preset, not DeviceData
    EXPECT_EQ(PrivateProfile::read_string(file(), "IDENT", "VERSION", QString()),
              QStringLiteral("KELVRA20 [V.1.0]"));
    EXPECT_EQ(data.pid.PB, 0.0f);
    EXPECT_TRUE(prompts.messages().empty());
    EXPECT_TRUE(line.writes().empty());
}

TEST_F(MenuModFileTest, CancelledDialogsDoNothing) {
    prompts.answer_save(std::nullopt);
    dlg->tl_ulozitClick();
    prompts.answer_open(std::nullopt);
    dlg->tl_otevritClick();
    EXPECT_FALSE(QFile::exists(file()));
    EXPECT_EQ(prompts.records().size(), 2u);
}

}  // namespace
