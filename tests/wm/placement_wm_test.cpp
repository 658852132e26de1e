#include <gtest/gtest.h>

#include <QDialog>
#include <QScreen>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <cstdio>
#include <functional>
#include <memory>
#include <ostream>

#include "app/main_window.h"
#include "comm/Unit_hl.h"
#include "comm/recording_line.h"
#include "ident/about_box.h"
#include "ident/about_ident.h"
#include "ident/load_form.h"
#include "monitor/comm_monitor.h"
#include "platform/settings_store.h"
#include "support/fake_clock.h"
#include "support/fake_line.h"
#include "support/scripted_prompts.h"

// Placement on a real 800 x 600 X screen whose windows openbox frames (run_under_wm.sh).
// Each test prints the frames it saw.

namespace {

std::string text(const QRect& r) {
    return QStringLiteral("%1,%2 %3x%4")
        .arg(r.x())
        .arg(r.y())
        .arg(r.width())
        .arg(r.height())
        .toStdString();
}

void report(const std::string& what, const QRect& frame) {
    std::printf("%s: frame %s\n", what.c_str(), text(frame).c_str());
}

QRect available() { return QGuiApplication::primaryScreen()->availableGeometry(); }

// The frame once the window manager has framed the window and it has stopped moving.
QRect settled_frame(QWidget& w) {
    EXPECT_TRUE(QTest::qWaitForWindowExposed(&w));
    EXPECT_TRUE(QTest::qWaitFor([&] { return w.frameGeometry() != w.geometry(); }, 5000))
        << "no frame";
    QRect last = w.frameGeometry();
    for (int i = 0; i < 40; ++i) {
        QTest::qWait(50);
        if (w.frameGeometry() == last) break;
        last = w.frameGeometry();
    }
    return last;
}

// Shows the dialog modally, as its menu item does; `while_shown` acts on it as the user
// would. Returns the frame the showing ends with.
QRect show_modally(QDialog& d, const std::function<void()>& while_shown = {}) {
    QRect frame;
    QTimer::singleShot(0, &d, [&] {
        settled_frame(d);
        if (while_shown) while_shown();
        frame = settled_frame(d);
        d.done(QDialog::Accepted);
    });
    d.exec();
    return frame;
}

// Within a pixel: an odd difference of sizes cannot be halved exactly.
void expect_centred(const QRect& frame, const std::string& what) {
    const QPoint off = frame.center() - available().center();
    EXPECT_LE(std::abs(off.x()), 1) << what << " " << text(frame);
    EXPECT_LE(std::abs(off.y()), 1) << what << " " << text(frame);
}

// The program's request layer on a silent line, and an owner window for the dialogs.
class Placement : public ::testing::Test {
  protected:
    void SetUp() override {
        owner.setGeometry(10, 10, 200, 150);
        owner.show();
    }

    FakeLine line;
    ScriptedPrompts prompts;
    DeviceData data;
    CommBuffer buffer;
    RequestLayer requests{line, prompts, data, buffer};
    QWidget owner;
};

TEST_F(Placement, AboutBoxComesBackWhereItWasFirstShownOrLastMoved) {
    TAboutBox about(&owner);
    const QRect first = show_modally(about);
    report("About box, 1st showing", first);
    expect_centred(first, "1st showing");
    EXPECT_EQ(about.size(), QSize(324, 289));
    EXPECT_GT(first.height(), about.height());  // a title bar at least
    const char* const nth[] = {"2nd", "3rd"};
    for (const char* n : nth) {
        const QRect again = show_modally(about);
        report(std::string("About box, ") + n + " showing", again);
        EXPECT_EQ(again, first) << n;
    }
    const QRect moved = show_modally(about, [&] { about.move(about.pos() + QPoint(-40, 30)); });
    EXPECT_EQ(moved, first.translated(-40, 30));
    EXPECT_EQ(show_modally(about), moved);
}

struct CentredCase {
    const char* name;
    std::function<QDialog*(RequestLayer&, Prompts&, QWidget*)> make;
};
void PrintTo(const CentredCase& c, std::ostream* os) { *os << c.name; }

class CentredDialogs : public Placement, public ::testing::WithParamInterface<CentredCase> {};

TEST_P(CentredDialogs, AreCentredByTheirFrameAndComeBackThere) {
    const std::string name = GetParam().name;
    std::unique_ptr<QDialog> d(GetParam().make(requests, prompts, &owner));
    // Only the placement is watched: the dialog's reading is held back.
    const auto show_held = [&] {
        d->show();
        if (auto* load = qobject_cast<Tload_form*>(d.get())) load->timer()->stop();
        if (auto* ident = qobject_cast<Tabout_ident*>(d.get())) ident->timer()->stop();
        return settled_frame(*d);
    };
    const QRect first = show_held();
    report(name, first);
    expect_centred(first, name);
    d->hide();
    EXPECT_EQ(show_held(), first);
    d->hide();
}

INSTANTIATE_TEST_SUITE_P(
    Wm, CentredDialogs,
    ::testing::Values(
        CentredCase{"Progress dialog",
                    [](RequestLayer& r, Prompts& p, QWidget* parent) -> QDialog* {
                        return new Tload_form(r, p, {[] { return 9; }, [] {}, [] {}}, parent);
                    }},
        CentredCase{"Identification box",
                    [](RequestLayer& r, Prompts& p, QWidget* parent) -> QDialog* {
                        return new Tabout_ident(r, p, parent);
                    }}),
    [](const auto& info) { return std::string(info.index == 0 ? "progress" : "identification"); });

TEST_F(Placement, MonitorLargerThanTheScreenIsShrunkToItByItsFrame) {
    RecordingLine recorder(line);
    CommMonitor monitor(recorder, prompts, &owner);
    monitor.show();
    const QRect frame = settled_frame(monitor);
    report("Traffic monitor (1080x600) on 800x600", frame);
    EXPECT_TRUE(available().contains(frame)) << text(frame);
}

// The main window on a settings store in a temporary folder.
class MainWindowPlacement : public ::testing::Test {
  protected:
    void store(int left, int top, int width, int height) {
        QSettings ini(dir.filePath(QStringLiteral("TavTx20.ini")), QSettings::IniFormat);
        ini.setValue(QStringLiteral("DESKTOP/Left"), left);
        ini.setValue(QStringLiteral("DESKTOP/Top"), top);
        ini.setValue(QStringLiteral("DESKTOP/Width"), width);
        ini.setValue(QStringLiteral("DESKTOP/Height"), height);
    }
    std::unique_ptr<Tkrt01> open() {
        settings = std::make_unique<SettingsStore>(dir.filePath(QStringLiteral("TavTx20.ini")));
        auto w = std::make_unique<Tkrt01>(*settings, prompts, clock, requests);
        w->show();
        return w;
    }

    QTemporaryDir dir;
    std::unique_ptr<SettingsStore> settings;
    ScriptedPrompts prompts;
    FakeClock clock;
    FakeLine line;
    DeviceData data;
    CommBuffer buffer;
    RequestLayer requests{line, prompts, data, buffer};
};

TEST_F(MainWindowPlacement, DefaultPlacementFitsTheSmallScreenWithItsWholeFrame) {
    auto w = open();
    const QRect frame = settled_frame(*w);
    report("Main window, default placement on 800x600", frame);
    EXPECT_TRUE(available().contains(frame)) << text(frame);
    EXPECT_EQ(w->size(), QSize(718, 523));  // moved, not shrunk
    w->close();
}

TEST_F(MainWindowPlacement, StoredPlacementOverTheEdgeIsFittedByItsFrame) {
    store(300, 250, 700, 400);
    auto w = open();
    const QRect frame = settled_frame(*w);
    report("Main window, stored 300,250 700x400 on 800x600", frame);
    EXPECT_TRUE(available().contains(frame)) << text(frame);
    EXPECT_EQ(w->size(), QSize(700, 400));
    w->close();
}

TEST_F(MainWindowPlacement, StoredPlacementComesBackWithTheSameFrame) {
    store(30, 20, 700, 400);
    QRect before;
    {
        auto w = open();
        const QRect first = settled_frame(*w);
        EXPECT_EQ(first.topLeft(), QPoint(30, 20));  // Left and Top are the frame's
        w->move(w->pos() + QPoint(50, 40));          // moved by the user
        before = settled_frame(*w);
        EXPECT_EQ(before, first.translated(50, 40));
        w->close();
    }
    auto w = open();
    const QRect after = settled_frame(*w);
    report("Main window, stored placement at closing", before);
    report("Main window, stored placement at reopening", after);
    EXPECT_EQ(after, before);
    w->close();
}

}  // namespace
