#include <gtest/gtest.h>

#include <QScreen>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWindow>
#include <cstdio>
#include <functional>
#include <memory>

#include "app/main_window.h"
#include "comm/Unit_hl.h"
#include "comm/bus_worker.h"
#include "ident/about_box.h"
#include "ident/about_ident.h"
#include "ident/load_form.h"
#include "platform/settings_store.h"
#include "support/fake_clock.h"
#include "support/fake_line.h"
#include "support/scripted_prompts.h"

// Placement on an 800 x 600 X screen whose windows openbox frames (run_under_wm.sh).
// The tests print the frames they see.
namespace {

QRect available() { return QGuiApplication::primaryScreen()->availableGeometry(); }

// The frame once the window manager has framed the window and it has stopped moving, as
// the native window reports it (the widget's copy of the margins can lag behind).
QRect settled_frame(QWidget& w, const char* what = nullptr) {
    const auto frame = [&w] {
        return w.windowHandle() ? w.windowHandle()->frameGeometry() : w.frameGeometry();
    };
    EXPECT_TRUE(QTest::qWaitFor([&] { return frame() != w.geometry(); }, 5000));
    QRect last;
    for (int i = 0; i < 40 && frame() != last; ++i) {
        last = frame();
        QTest::qWait(50);
    }
    if (what)
        std::printf("%s: frame %d,%d %dx%d\n", what, last.x(), last.y(), last.width(),
                    last.height());
    return last;
}

// Shown modally, as from the menu; `user` acts on the dialog before its frame is taken.
QRect show_modally(QDialog& d, const char* what, const std::function<void()>& user = {}) {
    QRect frame;
    QTimer::singleShot(0, &d, [&] {
        if (user) settled_frame(d), user();
        frame = settled_frame(d, what);
        d.accept();
    });
    d.exec();
    return frame;
}

// Within a pixel: an odd difference of sizes cannot be halved.
void expect_centred(const QRect& frame) {
    EXPECT_LE((frame.center() - available().center()).manhattanLength(), 2);
}

class Placement : public ::testing::Test {
  protected:
    void SetUp() override {
        owner.setGeometry(10, 10, 200, 150);
        owner.show();
    }
    std::unique_ptr<Tkrt01> main_window() {
        settings = std::make_unique<SettingsStore>(dir.filePath(QStringLiteral("TavTx20.ini")));
        auto w = std::make_unique<Tkrt01>(*settings, prompts, clock, bus);
        w->show();
        return w;
    }

    QTemporaryDir dir;
    std::unique_ptr<SettingsStore> settings;
    FakeClock clock;
    FakeLine line;
    ScriptedPrompts prompts;
    DeviceData data;
    CommBuffer buffer;
    RequestLayer requests{line, prompts, data, buffer};
    BusWorker bus{requests, prompts};
    QWidget owner;  // in place of the main window
};

TEST_F(Placement, AboutBoxComesBackWhereItWasFirstShownOrLastMoved) {
    TAboutBox about(&owner);
    const QRect first = show_modally(about, "About box, 1st showing");
    expect_centred(first);
    EXPECT_EQ(about.size(), QSize(324, 289));
    EXPECT_GT(first.height(), about.height());  // a title bar at least
    EXPECT_EQ(show_modally(about, "About box, 2nd showing"), first);
    EXPECT_EQ(show_modally(about, "About box, 3rd showing"), first);
    const QRect moved = show_modally(about, "About box, moved by the user",
                                     [&] { about.move(about.pos() + QPoint(-40, 30)); });
    EXPECT_EQ(moved, first.translated(-40, 30));
    EXPECT_EQ(show_modally(about, "About box, shown again"), moved);
}

TEST_F(Placement, ProgressAndIdentificationDialogsAreCentredByTheirFrame) {
    Tload_form load(bus, prompts, {[] { return 9; }, [] {}, [] {}}, &owner);
    Tabout_ident ident(bus, prompts, &owner);
    for (auto [d, timer, what] :
         {std::tuple<QDialog*, QTimer*, const char*>{&load, load.timer(), "Progress dialog"},
          {&ident, ident.timer(), "Identification box"}}) {
        for (int showing = 0; showing < 2; ++showing) {
            d->show();
            timer->stop();  // only the placement is watched, not the reading
            expect_centred(settled_frame(*d, what));
            d->hide();
        }
    }
}

TEST_F(Placement, MainWindowFitsTheSmallScreenWithItsWholeFrame) {
    auto w = main_window();
    EXPECT_TRUE(available().contains(settled_frame(*w, "Main window, default placement")));
    EXPECT_EQ(w->size(), QSize(718, 523));  // moved, not shrunk
}

TEST_F(Placement, MainWindowReopensWithTheFrameItClosedWith) {
    {
        QSettings ini(dir.filePath(QStringLiteral("TavTx20.ini")), QSettings::IniFormat);
        for (auto [name, value] : {std::pair{"Left", 30}, {"Top", 20}, {"Width", 700}})
            ini.setValue(QStringLiteral("DESKTOP/") + QLatin1String(name), value);
    }
    QRect closed;
    {
        auto w = main_window();
        EXPECT_EQ(settled_frame(*w, "Main window, stored 30,20").topLeft(), QPoint(30, 20));
        w->move(w->pos() + QPoint(50, 10));  // by the user
        closed = settled_frame(*w, "Main window, moved and closed");
        w->close();
    }
    auto w = main_window();
    EXPECT_EQ(settled_frame(*w, "Main window, reopened"), closed);
}

}  // namespace
