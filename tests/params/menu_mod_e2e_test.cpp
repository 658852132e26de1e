// The parameter editor on the real serial line against the simulated controller on a
// pseudo-terminal: every tab read, changed, written and committed, then read back
// from a restarted controller.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

#include "comm/Unit_hl.h"
#include "comm/bus_worker.h"
#include "comm/serial_line.h"
#include "params/Unitmenumod.h"
#include "params/catalogue.h"
#include "sim/pty_server.h"
#include "support/line_on_worker.h"
#include "support/scripted_prompts.h"
#include "tests/params/print_qstring.h"

namespace {

// What the user sets on each tab, control by control (edits: text, lists: position).
struct Change {
    const char* control;
    const char* text;
    int position;
};
const Change kChanges[] = {
    {"ed_sp", "61.5", 0},     {"ed_sp_l", "10", 0},      {"ed_sp_h", "90", 0},
    {"cb_rala1", nullptr, 2}, {"cb_re1", nullptr, 1},    {"ed_splo1", "5.25", 0},
    {"ed_sphi1", "80", 0},    {"ed_hyst1", "2.5", 0},    {"ed_pb", "3.5", 0},
    {"ed_ti", "120", 0},      {"ed_td", "7", 0},         {"cb_tune", nullptr, 1},
    {"cb_feed", nullptr, 1},  {"ed_dser", "90", 0},      {"ed_dead", "3", 0},
    {"cb_f2", nullptr, 5},    {"cb_tpid", nullptr, 6},   {"cb_teac", nullptr, 1},
    {"cb_sens", nullptr, 8},  {"cb_dp", nullptr, 2},     {"ed_strs", "-50", 0},
    {"ed_ends", "400", 0},    {"ed_offs", "1.5", 0},     {"cb_komp", nullptr, 2},
    {"cb_ain", nullptr, 1},   {"cb_aout", nullptr, 2},   {"ed_astr", "10", 0},
    {"ed_aend", "200", 0},    {"cb_erro12", nullptr, 2}, {"cb_erro3", nullptr, 1},
    {"cb_yout", nullptr, 2},  {"cb_filtr", nullptr, 3},  {"ed_pass", "1234", 0},
    {"cb_loc", nullptr, 1},   {"cb_level", nullptr, 1},  {"ed_adresa", "7", 0},
};

// As the technician types it: with the decimal separator of the running locale.
QString typed(const char* text) {
    return QString::fromLatin1(text).replace(QLatin1Char('.'), QLocale().decimalPoint());
}

class MenuModE2E : public ::testing::Test {
  protected:
    void start() {
        if (server) {
            on_worker.close();
            server->stop();
        }
        sim::Options o;
        o.eeprom_file = dir.filePath(QStringLiteral("eeprom.ini"));
        server = std::make_unique<sim::PtyServer>(o);
        ASSERT_TRUE(server->start()) << server->error().toStdString();
        on_worker.open(server->path(), 9600);
    }
    template <class F>
    auto on_bus(F&& f) {
        auto lock = server->lock();
        return f(server->bus());
    }
    void open_editor() {
        dlg = std::make_unique<Tmenu_mod>(bus, prompts);
        dlg->apply_presets();
        dlg->show();
    }
    void click_tab(int position) {
        QTabBar* b = tabs()->tabBar();
        QTest::mouseClick(b, Qt::LeftButton, {}, b->tabRect(position).center());
        ASSERT_EQ(tabs()->currentIndex(), position);
    }
    void click(const char* name) {
        QTest::mouseClick(dlg->findChild<QPushButton*>(name), Qt::LeftButton);
    }
    QTabWidget* tabs() const { return dlg->findChild<QTabWidget*>("PageControl"); }
    QLineEdit* ed(const char* name) const { return dlg->findChild<QLineEdit*>(name); }
    QComboBox* cb(const char* name) const { return dlg->findChild<QComboBox*>(name); }
    QWidget* page_of(const char* control) const {
        for (int i = 0; i < tabs()->count(); ++i)
            if (tabs()->widget(i)->findChild<QWidget*>(control)) return tabs()->widget(i);
        return nullptr;
    }

    QTemporaryDir dir;
    std::unique_ptr<sim::PtyServer> server;
    SerialLine line;
    ScriptedPrompts prompts;
    DeviceData data;
    CommBuffer buffer;
    RequestLayer req{line, prompts, data, buffer};
    BusWorker bus{req, prompts};
    LineOnWorker on_worker{line, bus};
    std::unique_ptr<Tmenu_mod> dlg;
};

TEST_F(MenuModE2E, WrittenAndCommittedParametersSurviveARestart) {
    ASSERT_NO_FATAL_FAILURE(start());
    req.set_device_address(1);
    req.set_computer_address(0);
    open_editor();

    // Read every tab: the controls show what the controller holds.
    const DeviceData station = on_bus([](sim::Bus& b) { return b.station(1); });
    for (int i = 0; i < tabs()->count(); ++i) {
        click_tab(i);
        click("tl_cteni");
    }
    EXPECT_EQ(data.comp.SP, station.comp.SP);
    EXPECT_EQ(data.sens.TYPE, station.sens.TYPE);
    EXPECT_EQ(ed("ed_adresa")->text(), QStringLiteral("1"));

    // Change and write every tab, the address last.
    for (int i = 0; i < tabs()->count(); ++i) {
        click_tab(i);
        for (const Change& c : kChanges) {
            if (page_of(c.control) != tabs()->widget(i)) continue;
            if (c.text)
                ed(c.control)->setText(typed(c.text));
            else
                cb(c.control)->setCurrentIndex(c.position);
        }
        click("tl_zapis");
    }
    EXPECT_TRUE(prompts.empty());
    EXPECT_EQ(req.device_address(), 7);
    click("tl_eeprom");
    EXPECT_TRUE(prompts.empty());
    EXPECT_TRUE(on_bus([](sim::Bus& b) { return b.last_save_ok(); }));
    EXPECT_GE(server->requests(), 9 + 9 + 1);  // reads, writes, commit

    // A restarted controller answers at its committed address with the committed values.
    ASSERT_NO_FATAL_FAILURE(start());
    ASSERT_TRUE(on_bus([](sim::Bus& b) { return b.has_station(7); }));
    data = DeviceData{};
    open_editor();
    for (int i = 0; i < tabs()->count(); ++i) {
        click_tab(i);
        click("tl_cteni");
    }
    EXPECT_TRUE(prompts.empty());
    for (const Change& c : kChanges) {
        if (c.text)  // reals come back formatted: compare the numbers
            EXPECT_EQ(params::parse_number(ed(c.control)->text()),
                      params::parse_number(typed(c.text)))
                << c.control;
        else
            EXPECT_EQ(cb(c.control)->currentIndex(), c.position) << c.control;
    }
}

}  // namespace
