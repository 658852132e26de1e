#include "comm/Unitport.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <chrono>
#include <memory>

#include "comm/Unit_hl.h"
#include "comm/bus_worker.h"
#include "comm/serial_line.h"
#include "platform/settings_store.h"
#include "support/fake_line.h"
#include "support/line_on_worker.h"
#include "support/render.h"
#include "support/scripted_prompts.h"

namespace {

const QString kQuestion = QStringLiteral(
    "Byly provedeny změny v nastavení.\nOpravdu se chceš vrátit k původnímu "
    "nastavení?");

// Controllers that answer the station status request at the given addresses.
FakeLine::Responder bus_with(std::vector<std::uint8_t> stations) {
    return [stations](const Bytes& req) -> Bytes {
        if (req.size() != 6 || req[0] != telegram::SD1 || req[3] != telegram::FC_STATUS) return {};
        if (std::find(stations.begin(), stations.end(), req[1]) == stations.end()) return {};
        telegram::Buffer b{};
        telegram::build_sd1(b, req[2], req[1], telegram::FC_OK);
        return Bytes(b.begin(), b.begin() + telegram::kSd1Length);
    };
}

class PortDialogTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        store = std::make_unique<SettingsStore>(ini());
    }
    void TearDown() override { EXPECT_EQ(prompts.unused_answers(), 0); }

    QString ini() const { return dir.filePath(QStringLiteral("TavTx20.ini")); }
    void put(const char* section, const char* name, const QString& value) {
        store->write_string(QLatin1String(section), QLatin1String(name), value);
        store->sync();
    }
    // What the next run would read.
    qint32 stored(const char* section, const char* name) {
        store->sync();
        SettingsStore again(ini());
        return again.read_int(QLatin1String(section), QLatin1String(name), -999);
    }

    Tport& create() {
        dlg = std::make_unique<Tport>(*store, line, bus, prompts);
        return *dlg;
    }
    Tport& create_shown() {
        create();
        dlg->show();
        line.clear_events();
        return *dlg;
    }

    template <class T>
    T* child(const char* name) {
        auto* w = dlg->findChild<T*>(QLatin1String(name));
        EXPECT_NE(w, nullptr) << name;
        return w;
    }
    QComboBox* list(const char* name) { return child<QComboBox>(name); }
    QPushButton* button(const char* name) { return child<QPushButton>(name); }
    QTableWidget* grid() { return child<QTableWidget>("str_tab"); }
    QString cell(int a) { return grid()->item(a / 16, a % 16)->text(); }

    // A choice of the user: the list's current item changes and it reports activation.
    void pick(const char* name, int index) {
        QComboBox* cb = list(name);
        ASSERT_TRUE(cb->isEnabled()) << name;
        cb->setCurrentIndex(index);
        emit cb->activated(index);
    }
    void pick_rate(qint32 rate) {
        pick("cb_baudrate", list("cb_baudrate")->findText(QString::number(rate)));
    }
    void click(const char* name) { QTest::mouseClick(button(name), Qt::LeftButton); }
    // Only these ticks drive the search: the dialog's own timer would add probes while
    // the test waits for the worker.
    void tick(int n) {
        dlg->findChild<QTimer*>(QStringLiteral("Timer1"))->setInterval(std::chrono::hours(1));
        for (int i = 0; i < n; ++i) {
            dlg->Timer1Timer();
            bus.wait_idle();
        }
    }
    void expect_port_error(const QString& text) {
        ASSERT_FALSE(prompts.messages().empty());
        const auto m = prompts.messages().back();
        EXPECT_EQ(m.text, text);
        EXPECT_EQ(m.caption, QStringLiteral("TX-20"));
        EXPECT_EQ(m.icon, PromptIcon::Error);
        EXPECT_EQ(m.buttons, PromptButtons::Ok);
    }
    void expect_question_asked() {
        ASSERT_EQ(prompts.messages().size(), 1u);
        const auto m = prompts.messages().front();
        EXPECT_EQ(m.text, kQuestion);
        EXPECT_EQ(m.caption, QStringLiteral("Dotaz"));
        EXPECT_EQ(m.icon, PromptIcon::Question);
        EXPECT_EQ(m.buttons, PromptButtons::YesNo);
    }

    QTemporaryDir dir;
    std::unique_ptr<SettingsStore> store;
    FakeLine line;
    ScriptedPrompts prompts;
    DeviceData data;
    CommBuffer buffer;
    RequestLayer req{line, prompts, data, buffer};
    BusWorker bus{req, prompts};
    std::unique_ptr<Tport> dlg;
};

// ---- creation and persistence ----

TEST_F(PortDialogTest, FirstRunOpensCom1At9600WithAddressesZero) {
    create();
    EXPECT_TRUE(prompts.empty());
    ASSERT_EQ(line.count(FakeLine::Op::Open), 1);
    EXPECT_EQ(line.events().front().name, store->port_device(QStringLiteral("COM1")));
    EXPECT_EQ(line.baud(), 9600);
    EXPECT_EQ(list("cb_com")->currentIndex(), 1);
    EXPECT_EQ(list("cb_baudrate")->currentText(), QStringLiteral("9600"));
    EXPECT_EQ(list("cb_da")->currentIndex(), 0);
    EXPECT_EQ(list("cb_sa")->currentIndex(), 0);
    EXPECT_EQ(req.device_address(), 0);
    EXPECT_EQ(req.computer_address(), 0);
}

TEST_F(PortDialogTest, StoredSettingsAreUsedAndPortMapped) {
    put("ADRESA", "SA", QStringLiteral("2"));
    put("ADRESA", "DA", QStringLiteral("33"));
    put("PORT", "COM", QStringLiteral("3"));
    put("PORT", "BAUDRATE", QStringLiteral("19200"));
    put("PORTMAP", "COM3", QStringLiteral("/dev/ttyUSB0"));
    create();
    EXPECT_EQ(line.device(), store->port_device(QStringLiteral("COM3")));
    EXPECT_EQ(line.baud(), 19200);
    EXPECT_EQ(list("cb_com")->currentIndex(), 3);
    EXPECT_EQ(list("cb_baudrate")->currentText(), QStringLiteral("19200"));
    EXPECT_EQ(req.device_address(), 33);
    EXPECT_EQ(req.computer_address(), 2);
}

#ifndef Q_OS_WIN
// The tooltips name the mapped device and warn when it is not there; they follow the
// map and the device at every showing, and the captions never change.
TEST_F(PortDialogTest, PortTooltipsNameTheMappedDeviceAndAMissingOne) {
    const QString present = dir.filePath(QStringLiteral("ttyUSB0"));
    const QString missing = dir.filePath(QStringLiteral("ttyUSB9"));
    {
        QFile f(present);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    put("PORTMAP", "COM2", present);
    put("PORTMAP", "COM4", missing);
    create_shown();
    QComboBox* com = list("cb_com");
    EXPECT_EQ(com->itemData(2, Qt::ToolTipRole).toString(), present);
    EXPECT_EQ(com->itemData(4, Qt::ToolTipRole).toString(),
              missing + QStringLiteral(" – zařízení neexistuje"));
    EXPECT_EQ(com->itemData(0, Qt::ToolTipRole), QVariant());

    dlg->done(QDialog::Accepted);
    ASSERT_TRUE(QFile::rename(present, missing));
    dlg->show();
    EXPECT_EQ(com->itemData(2, Qt::ToolTipRole).toString(),
              present + QStringLiteral(" – zařízení neexistuje"));
    EXPECT_EQ(com->itemData(4, Qt::ToolTipRole).toString(), missing);
    for (int i = 1; i <= 8; ++i) EXPECT_EQ(com->itemText(i), QStringLiteral("COM %1").arg(i));
    dlg->done(QDialog::Accepted);
}
#endif

TEST_F(PortDialogTest, UnparsableSettingsReadAsDefaults) {
    put("ADRESA", "DA", QStringLiteral("abc"));
    put("PORT", "COM", QString());
    put("PORT", "BAUDRATE", QStringLiteral("9600x"));
    create();
    EXPECT_EQ(req.device_address(), 0);
    EXPECT_EQ(list("cb_com")->currentIndex(), 1);
    EXPECT_EQ(line.baud(), 9600);
}

TEST_F(PortDialogTest, StoredRateOutsideTheListOpensAtThatRateWithNoneSelected) {
    put("PORT", "BAUDRATE", QStringLiteral("14400"));
    create();
    EXPECT_EQ(line.baud(), 14400);
    EXPECT_EQ(list("cb_baudrate")->currentIndex(), -1);
}

TEST_F(PortDialogTest, NoPortKeepsTheOpenPortAndIsPersistedAsCom1) {
    create_shown();
    pick("cb_com", 0);
    EXPECT_EQ(dlg->com(), 0);
    EXPECT_EQ(line.trace(), QString());  // nothing closed or opened
    EXPECT_TRUE(line.is_open());
    click("tl_ok");
    EXPECT_FALSE(dlg->isVisible());
    EXPECT_EQ(stored("PORT", "COM"), 1);
    EXPECT_EQ(stored("PORT", "BAUDRATE"), 9600);
    EXPECT_EQ(stored("ADRESA", "DA"), 0);
    EXPECT_EQ(stored("ADRESA", "SA"), 0);
}

TEST_F(PortDialogTest, EveryWayOfClosingWritesTheSettings) {
    for (int way = 0; way < 3; ++way) {
        SCOPED_TRACE(way);
        create_shown();
        pick("cb_sa", 10 + way);
        prompts.answer_message(PromptAnswer::No);  // Storno and Esc ask first
        if (way == 0) click("tl_cancel");
        if (way == 1) QTest::keyClick(dlg.get(), Qt::Key_Escape);
        if (way == 2) {
            prompts.clear();  // the close box asks nothing
            dlg->close();
        }
        EXPECT_FALSE(dlg->isVisible());
        EXPECT_EQ(stored("ADRESA", "SA"), 10 + way);
        EXPECT_EQ(prompts.unused_answers(), 0);
        prompts.clear();
    }
}

TEST_F(PortDialogTest, ClosingTwiceWritesOnce) {
    create_shown();
    click("tl_ok");
    put("ADRESA", "DA", QStringLiteral("99"));
    dlg->done(QDialog::Rejected);
    dlg->close();
    EXPECT_EQ(stored("ADRESA", "DA"), 99);
}

TEST_F(PortDialogTest, ShowTakesTheDeviceAddressFromTheRequestLayer) {
    create();
    req.set_device_address(42);  // moved by the parameter editor
    dlg->show();
    EXPECT_EQ(list("cb_da")->currentIndex(), 42);
    EXPECT_EQ(dlg->da(), 42);
    click("tl_cancel");  // the new address is the baseline: no question
    EXPECT_TRUE(prompts.empty());
    EXPECT_EQ(stored("ADRESA", "DA"), 42);
}

// ---- lists ----

TEST_F(PortDialogTest, ListChoicesTakeEffectAtOnce) {
    create_shown();
    pick("cb_da", 7);
    pick("cb_sa", 3);
    EXPECT_EQ(req.device_address(), 7);
    EXPECT_EQ(req.computer_address(), 3);
    pick_rate(19200);
    EXPECT_EQ(line.trace(), QStringLiteral("B"));  // applied without reopening
    EXPECT_EQ(line.baud(), 19200);
    pick("cb_com", 4);
    EXPECT_EQ(line.trace(), QStringLiteral("B C O"));
    EXPECT_EQ(line.device(), store->port_device(QStringLiteral("COM4")));
    EXPECT_EQ(line.baud(), 19200);
}

TEST_F(PortDialogTest, KeyboardChoiceRunsTheHandler) {
    create_shown();
    list("cb_da")->setFocus();
    QTest::keyClick(list("cb_da"), Qt::Key_Down);
    EXPECT_EQ(req.device_address(), 1);
}

TEST_F(PortDialogTest, MissingPortIsReportedAndListShowsNoPort) {
    line.fail_open(store->port_device(QStringLiteral("COM5")));
    create_shown();
    prompts.allow_ok_messages();
    pick("cb_com", 5);
    expect_port_error(QStringLiteral("Sériový port COM5 nelze otevřít."));
    EXPECT_EQ(list("cb_com")->currentIndex(), 0);
    EXPECT_EQ(dlg->com(), 0);
    EXPECT_TRUE(dlg->isVisible());
}

TEST_F(PortDialogTest, FailedOpenAtCreationIsReportedAndProgramGoesOn) {
    put("PORT", "COM", QStringLiteral("5"));
    line.fail_open(store->port_device(QStringLiteral("COM5")));
    prompts.allow_ok_messages();
    create();
    expect_port_error(QStringLiteral("Sériový port COM5 nelze otevřít."));
    EXPECT_EQ(list("cb_com")->currentIndex(), 0);
    EXPECT_EQ(dlg->com(), 0);
    // Picking a port again recovers the line.
    dlg->show();
    pick("cb_com", 2);
    EXPECT_TRUE(line.is_open());
    EXPECT_EQ(dlg->com(), 2);
}

// The real line on a pseudo-terminal: the port is there, only the stored rate is bad.
TEST_F(PortDialogTest, UnusableStoredRateOnAnExistingPortReportsTheReinitialisation) {
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(master, 0);
    ASSERT_EQ(::grantpt(master), 0);
    ASSERT_EQ(::unlockpt(master), 0);
    put("PORTMAP", "COM1", QString::fromLocal8Bit(::ptsname(master)));
    put("PORT", "BAUDRATE", QStringLiteral("-9600"));
    SerialLine serial;
    RequestLayer on_serial{serial, prompts, data, buffer};
    BusWorker serial_bus{on_serial, prompts};
    LineOnWorker on_worker{serial, serial_bus};
    prompts.allow_ok_messages();
    dlg = std::make_unique<Tport>(*store, serial, serial_bus, prompts);
    expect_port_error(QStringLiteral("Nepodařila se reinicializace portu COM1."));
    EXPECT_EQ(list("cb_com")->currentIndex(), 0);
    EXPECT_FALSE(serial.is_open());
    dlg.reset();
    ::close(master);
}

TEST_F(PortDialogTest, RateChangeAfterFailedOpenNamesCom0) {
    line.fail_open(store->port_device(QStringLiteral("COM5")));
    create_shown();
    prompts.allow_ok_messages();
    pick("cb_com", 5);
    pick_rate(19200);
    expect_port_error(QStringLiteral("Nepodařila se reinicializace portu COM0."));
    EXPECT_EQ(prompts.messages().size(), 2u);
}

// ---- Storno ----

TEST_F(PortDialogTest, StornoWithoutChangesAsksNothing) {
    create_shown();
    click("tl_cancel");
    EXPECT_TRUE(prompts.empty());
    EXPECT_FALSE(dlg->isVisible());
}

TEST_F(PortDialogTest, StornoYesRestoresTheDeviceAddress) {
    put("ADRESA", "DA", QStringLiteral("3"));
    create_shown();
    pick("cb_da", 5);
    prompts.answer_message(PromptAnswer::Yes);
    click("tl_cancel");
    expect_question_asked();
    EXPECT_EQ(req.device_address(), 3);
    EXPECT_EQ(list("cb_da")->currentIndex(), 3);
    EXPECT_FALSE(dlg->isVisible());
    EXPECT_EQ(stored("ADRESA", "DA"), 3);
}

TEST_F(PortDialogTest, StornoNoKeepsTheAddressAsNewBaseline) {
    put("ADRESA", "DA", QStringLiteral("3"));
    create_shown();
    pick("cb_da", 5);
    prompts.answer_message(PromptAnswer::No);
    click("tl_cancel");
    expect_question_asked();
    EXPECT_EQ(req.device_address(), 5);
    EXPECT_EQ(stored("ADRESA", "DA"), 5);
    prompts.clear();
    dlg->show();
    click("tl_cancel");
    EXPECT_TRUE(prompts.empty());
}

TEST_F(PortDialogTest, StornoYesRestoresTheRateOnTheOpenPort) {
    create_shown();
    pick_rate(19200);
    prompts.answer_message(PromptAnswer::Yes);
    click("tl_cancel");
    EXPECT_EQ(list("cb_baudrate")->currentText(), QStringLiteral("9600"));
    EXPECT_EQ(line.baud(), 9600);
    EXPECT_EQ(line.trace(), QStringLiteral("B B"));
    EXPECT_EQ(stored("PORT", "BAUDRATE"), 9600);
}

TEST_F(PortDialogTest, StornoYesRestoresARateTheListDoesNotOffer) {
    put("PORT", "BAUDRATE", QStringLiteral("14400"));
    create_shown();
    pick_rate(9600);
    prompts.answer_message(PromptAnswer::Yes);
    click("tl_cancel");
    EXPECT_EQ(line.baud(), 14400);
    EXPECT_EQ(list("cb_baudrate")->currentIndex(), -1);
    EXPECT_EQ(dlg->baud(), 14400);
}

TEST_F(PortDialogTest, StornoYesRestoresInOrderAndStopsAtAPortError) {
    put("PORT", "COM", QStringLiteral("2"));
    create_shown();
    pick("cb_com", 3);
    pick_rate(19200);
    pick("cb_sa", 9);
    line.fail_open(store->port_device(QStringLiteral("COM2")));  // COM2 went away meanwhile
    line.clear_events();
    prompts.answer_message(PromptAnswer::Yes);
    prompts.allow_ok_messages();
    click("tl_cancel");
    expect_port_error(QStringLiteral("Sériový port COM2 nelze otevřít."));
    EXPECT_EQ(line.trace(), QStringLiteral("C O"));  // the rate was not restored
    EXPECT_EQ(dlg->baud(), 19200);
    EXPECT_EQ(req.computer_address(), 9);
    EXPECT_FALSE(dlg->isVisible());  // closes with Cancel all the same
    EXPECT_EQ(stored("PORT", "COM"), 1);
}

TEST_F(PortDialogTest, EscIsStornoButTheCloseBoxAsksNothing) {
    create_shown();
    pick("cb_da", 5);
    prompts.answer_message(PromptAnswer::Yes);
    QTest::keyClick(dlg.get(), Qt::Key_Escape);
    expect_question_asked();
    EXPECT_EQ(req.device_address(), 0);
    EXPECT_FALSE(dlg->isVisible());

    prompts.clear();
    dlg->show();
    pick("cb_da", 6);
    dlg->close();
    EXPECT_TRUE(prompts.empty());
    EXPECT_EQ(req.device_address(), 6);
    EXPECT_FALSE(dlg->isVisible());
}

// ---- search ----

class PortSearchTest : public PortDialogTest {
  protected:
    void SetUp() override {
        PortDialogTest::SetUp();
        put("ADRESA", "DA", QStringLiteral("5"));
        line.set_responder(bus_with({1, 17}));
        create_shown();
    }
    void expect_idle_controls() {
        for (const char* n : {"tl_ok", "tl_cancel", "tl_najit"})
            EXPECT_TRUE(button(n)->isEnabled()) << n;
        for (const char* n : {"cb_com", "cb_baudrate", "cb_da", "cb_sa"})
            EXPECT_TRUE(list(n)->isEnabled()) << n;
        EXPECT_FALSE(button("tl_prerusit")->isEnabled());
        EXPECT_FALSE(dlg->searching());
    }
    void expect_searching_controls() {
        for (const char* n : {"tl_ok", "tl_cancel"}) EXPECT_FALSE(button(n)->isEnabled()) << n;
        for (const char* n : {"cb_com", "cb_baudrate", "cb_da", "cb_sa"})
            EXPECT_FALSE(list(n)->isEnabled()) << n;
        EXPECT_TRUE(button("tl_najit")->isEnabled());
        EXPECT_TRUE(button("tl_prerusit")->isEnabled());
        EXPECT_TRUE(dlg->searching());
    }
    std::vector<int> found() {
        std::vector<int> out;
        for (int a = 0; a < 128; ++a)
            if (!cell(a).trimmed().isEmpty()) out.push_back(a);
        return out;
    }
};

TEST_F(PortSearchTest, FindsControllersAt1And17AndKeepsTheUserAddress) {
    click("tl_najit");
    expect_searching_controls();
    for (int a = 0; a < 127; ++a) {
        tick(1);
        ASSERT_EQ(req.device_address(), 5) << "between ticks, after " << a;
    }
    expect_idle_controls();
    EXPECT_EQ(found(), (std::vector<int>{1, 17}));
    EXPECT_EQ(grid()->item(0, 1)->text(), QStringLiteral("1"));
    EXPECT_EQ(grid()->item(1, 1)->text(), QStringLiteral("17"));
    // One status request per address 0..126, each to the probed address; never 127.
    const auto w = line.writes();
    ASSERT_EQ(w.size(), 127u);
    for (int a = 0; a < 127; ++a) EXPECT_EQ(w[a][1], a);
    EXPECT_TRUE(render_window(dlg.get(), QStringLiteral("port_search")));
}

TEST_F(PortSearchTest, TickShowsTheProbedCell) {
    click("tl_najit");
    tick(18);
    EXPECT_EQ(grid()->currentRow(), 1);
    EXPECT_EQ(grid()->currentColumn(), 1);
}

TEST_F(PortSearchTest, InterruptKeepsResultsAndSearchAgainStartsOver) {
    click("tl_najit");
    tick(20);
    click("tl_prerusit");
    expect_idle_controls();
    EXPECT_EQ(found(), (std::vector<int>{1, 17}));
    line.clear_events();

    click("tl_najit");
    EXPECT_EQ(found(), std::vector<int>{});
    EXPECT_EQ(cell(0), QStringLiteral(" "));
    EXPECT_EQ(cell(127), QString());  // the unused last cell stays untouched
    tick(1);
    ASSERT_EQ(line.writes().size(), 1u);
    EXPECT_EQ(line.writes()[0][1], 0);
}

TEST_F(PortSearchTest, SearchPressedAgainWhileRunningStartsOver) {
    click("tl_najit");
    tick(30);
    click("tl_najit");
    expect_searching_controls();
    EXPECT_EQ(found(), std::vector<int>{});
    tick(2);
    EXPECT_EQ(found(), (std::vector<int>{1}));
}

TEST_F(PortSearchTest, TheTimerDrivesTheSearch) {
    click("tl_najit");
    // The window sees the probes' answers, not the line.
    QTRY_VERIFY_WITH_TIMEOUT(!cell(1).trimmed().isEmpty(), 5000);
    click("tl_prerusit");
    bus.wait_idle();
    EXPECT_EQ(found(), (std::vector<int>{1}));
}

TEST_F(PortSearchTest, CloseBoxDuringSearchDoesNotStopIt) {
    click("tl_najit");
    tick(10);
    QTest::keyClick(dlg.get(), Qt::Key_Escape);  // Storno is disabled, so is Esc
    EXPECT_TRUE(dlg->isVisible());
    dlg->close();
    EXPECT_FALSE(dlg->isVisible());
    EXPECT_TRUE(dlg->searching());
    EXPECT_EQ(stored("ADRESA", "DA"), 5);
    tick(117);
    expect_idle_controls();
    EXPECT_EQ(found(), (std::vector<int>{1, 17}));
    EXPECT_TRUE(prompts.empty());
}

TEST_F(PortSearchTest, ExtraTickAfterTheEndProbesNothing) {
    click("tl_najit");
    tick(127);
    line.clear_events();
    tick(1);
    EXPECT_TRUE(line.writes().empty());
    expect_idle_controls();
}

// ---- controls ----

TEST_F(PortDialogTest, ControlsCarryTheirCaptionsAndHints) {
    create();
    EXPECT_EQ(dlg->windowTitle(), QStringLiteral("Komunikační port"));
    EXPECT_EQ(dlg->minimumSize(), dlg->maximumSize());
    struct Expect {
        const char* name;
        QString text;
        QString hint;
    };
    const Expect lists[] = {
        {"cb_com", {}, QStringLiteral("Nastaví komunikační linku")},
        {"cb_baudrate", {}, {}},
        {"cb_da", {}, QStringLiteral("Nastaví adresu přístroje")},
        {"cb_sa", {}, QStringLiteral("Nastaví adresu počítače")},
    };
    for (const auto& e : lists) EXPECT_EQ(list(e.name)->toolTip(), e.hint) << e.name;
    const Expect buttons[] = {
        {"tl_ok", QStringLiteral("OK"), QStringLiteral("Návrat a potvrzení změn")},
        {"tl_cancel", QStringLiteral("Storno"), QStringLiteral("Storno")},
        {"tl_najit", QStringLiteral("Najít adresy"), QStringLiteral("Spustí vyhledávání adres")},
        {"tl_prerusit", QStringLiteral("Přerušit"), QStringLiteral("Přeruší vyhledávání adres")},
    };
    for (const auto& e : buttons) {
        EXPECT_EQ(button(e.name)->text(), e.text) << e.name;
        EXPECT_EQ(button(e.name)->toolTip(), e.hint) << e.name;
    }
    EXPECT_TRUE(button("tl_ok")->isDefault());
    EXPECT_FALSE(button("tl_prerusit")->isEnabled());
    const Expect labels[] = {
        {"lb_com", QStringLiteral("Sériová linka:"), {}},
        {"lb_baudrate", QStringLiteral("Přenosová rychlost"), {}},
        {"lb_da", QStringLiteral("Adresa přístroje:"), {}},
        {"lb_sa", QStringLiteral("Adresa počítače: "), {}},
        {"lb_tab", QStringLiteral("Tabulka adres:"), {}},
    };
    for (const auto& e : labels) EXPECT_EQ(child<QLabel>(e.name)->text(), e.text) << e.name;

    QTableWidget* t = grid();
    EXPECT_EQ(t->columnCount(), 16);
    EXPECT_EQ(t->rowCount(), 8);
    EXPECT_FALSE(t->isEnabled());
    EXPECT_EQ(t->focusPolicy(), Qt::NoFocus);
    auto* timer = dlg->findChild<QTimer*>(QStringLiteral("Timer1"));
    ASSERT_NE(timer, nullptr);
    EXPECT_EQ(timer->interval(), 100);
    EXPECT_FALSE(timer->isActive());
}

TEST_F(PortDialogTest, ListsHoldTheirItems) {
    create();
    QComboBox* com = list("cb_com");
    ASSERT_EQ(com->count(), 9);
    EXPECT_EQ(com->itemText(0), QStringLiteral("žádný port"));
    EXPECT_EQ(com->itemText(8), QStringLiteral("COM 8"));
    QStringList rates;
    for (int i = 0; i < list("cb_baudrate")->count(); ++i)
        rates << list("cb_baudrate")->itemText(i);
    EXPECT_EQ(rates.join(QLatin1Char(' ')),
              QStringLiteral("110 300 600 1200 2400 4800 9600 19200 38400 56000 57600 115200 "
                             "128000 256000"));
    for (const char* n : {"cb_da", "cb_sa"}) {
        ASSERT_EQ(list(n)->count(), 127) << n;
        EXPECT_EQ(list(n)->itemText(126), QStringLiteral("126")) << n;
    }
}

TEST_F(PortDialogTest, TabOrderFollowsTheButtonsThenTheLists) {
    create();
    const char* order[] = {"tl_ok",       "tl_cancel", "tl_najit", "cb_com",
                           "cb_baudrate", "cb_da",     "cb_sa",    "tl_prerusit"};
    QWidget* w = child<QWidget>(order[0]);
    for (std::size_t i = 1; i < std::size(order); ++i) {
        do {
            w = w->nextInFocusChain();
        } while (w->focusPolicy() == Qt::NoFocus || !(w->focusPolicy() & Qt::TabFocus));
        EXPECT_EQ(w->objectName(), QLatin1String(order[i])) << i;
    }
}

// Renders the dialog during and after a search; set TX20_RENDER_DIR to keep the pictures.
TEST_F(PortSearchTest, RendersWithSearchResults) {
    const QString out = qEnvironmentVariable("TX20_RENDER_DIR");
    click("tl_najit");
    for (const char* name : {"port_dialog_searching.png", "port_dialog.png"}) {
        tick(40);
        const QImage img = dlg->grab().toImage();
        ASSERT_FALSE(img.isNull());
        EXPECT_EQ(img.size() / img.devicePixelRatio(), dlg->size());
        if (!out.isEmpty()) {
            QDir().mkpath(out);
            EXPECT_TRUE(img.save(QDir(out).filePath(QLatin1String(name))));
        }
        tick(127);
    }
}

}  // namespace
