#include <gmock/gmock.h>

#include <QGuiApplication>
#include <QTest>
#include <QWidget>
#include <cstdio>

#include "platform/application.h"
#include "support/scripted_prompts.h"

// Runs on a real X server under a window manager (see run_under_wm.sh), never offscreen.
int main(int argc, char** argv) {
    Application app(argc, argv);
    if (QGuiApplication::platformName() != QLatin1String("xcb")) {
        std::fprintf(stderr, "these tests need an X server with a window manager\n");
        return 1;
    }
    {
        // Without a window manager no window gets a frame, and every test would fail on it.
        QWidget probe;
        probe.resize(100, 50);
        probe.show();
        if (!QTest::qWaitFor([&] { return probe.frameGeometry() != probe.geometry(); }, 10000)) {
            std::fprintf(stderr, "no window manager frames the windows\n");
            return 1;
        }
    }
    ScriptedPrompts unexpected_errors;
    app.set_prompts(&unexpected_errors);
    ::testing::InitGoogleMock(&argc, argv);
    return RUN_ALL_TESTS();
}
