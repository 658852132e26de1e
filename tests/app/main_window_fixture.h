#pragma once

#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QDialog>
#include <QLabel>
#include <QLocale>
#include <QProgressBar>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>
#include <functional>
#include <memory>

#include "app/Rotace_3d.h"
#include "app/main_window.h"
#include "app/panel_color.h"
#include "chart/trend_chart.h"
#include "comm/Unit_hl.h"
#include "comm/Unitport.h"
#include "comm/bus_worker.h"
#include "live_device.h"
#include "platform/settings_store.h"
#include "support/fake_clock.h"
#include "support/fake_line.h"
#include "support/scripted_prompts.h"

// A main window on a temporary settings store, scripted prompts, a fake clock and a
// fake line with a controller behind it; numbers in the Czech regional format.
class MainWindowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        QLocale::setDefault(QLocale(QLocale::Czech, QLocale::Czechia));
        line.set_responder(device.responder());
        requests.set_device_address(1);
    }
    void TearDown() override {
        window.reset();
        QLocale::setDefault(QLocale::system());
        EXPECT_EQ(prompts.unused_answers(), 0);
    }

    QString ini_path() const { return dir.filePath(QStringLiteral("TavTx20.ini")); }
    // Settings stored before the window is created.
    void store_value(const char* section, const char* name, const QString& text) {
        QSettings ini(ini_path(), QSettings::IniFormat);
        ini.setValue(QStringLiteral("%1/%2").arg(QLatin1String(section), QLatin1String(name)),
                     text);
    }
    // What the store holds after the window wrote it.
    QVariant stored(const char* section, const char* name) {
        store.reset();  // flushes
        QSettings ini(ini_path(), QSettings::IniFormat);
        return ini.value(QStringLiteral("%1/%2").arg(QLatin1String(section), QLatin1String(name)));
    }

    Tkrt01& create() {
        store = std::make_unique<SettingsStore>(ini_path());
        window = std::make_unique<Tkrt01>(*store, prompts, clock, bus);
        // The port dialog comes second and opens the line while it is created.
        port = new Tport(*store, line, bus, prompts, window.get());
        rotace = new Trotace3D(window->chart(), prompts, window.get());
        Tkrt01::Dialogs d;
        d.port = port;
        d.rotace3D = rotace;
        window->set_dialogs(d);
        return *window;
    }

    template <class T>
    T* child(const char* name) {
        T* w = window->findChild<T*>(QLatin1String(name));
        EXPECT_NE(w, nullptr) << name;
        return w;
    }
    QLabel* label(const char* name) { return child<QLabel>(name); }
    QString text(const char* name) { return label(name)->text(); }
    QCheckBox* check(const char* name) { return child<QCheckBox>(name); }
    QAction* action(const char* name) { return child<QAction>(name); }
    QColor color(const char* name) { return panel_color(label(name)); }

    // One change of the wall clock's second, then the timer's handler.
    void tick(int seconds = 1) {
        clock.advance_seconds(seconds);
        window->Timer1Timer();
        bus.wait_idle();
    }
    void ticks(int n) {
        for (int i = 0; i < n; ++i) tick();
    }

    static QColor yellow() { return color_from_ref(0x0000FFFF); }
    static QColor red() { return color_from_ref(0x000000FF); }
    static QColor face() { return color_from_ref(0x8000000F); }

    QTemporaryDir dir;
    std::unique_ptr<SettingsStore> store;
    ScriptedPrompts prompts;
    FakeClock clock;
    FakeLine line;
    LiveDevice device;
    DeviceData data;
    CommBuffer buffer;
    RequestLayer requests{line, prompts, data, buffer};
    BusWorker bus{requests, prompts};
    std::unique_ptr<Tkrt01> window;
    Tport* port = nullptr;
    Trotace3D* rotace = nullptr;
};
