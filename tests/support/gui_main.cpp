#include <gmock/gmock.h>

#include <QTemporaryDir>
#include <QTemporaryFile>

#include "platform/application.h"
#include "support/scripted_prompts.h"

int main(int argc, char** argv) {
    // The service journal and anything else kept in the user's data folder stay out of
    // the real one.
    QTemporaryDir data_home;
    qputenv("XDG_DATA_HOME", data_home.path().toLocal8Bit());
    // Two screens: a large primary one and an 800 x 600 one on its right, where the
    // default placement of the main window does not fit.
    QTemporaryFile screens;
    if (!screens.open()) return 1;
    screens.write(R"({"screens": [
        {"name": "large", "x": 0, "y": 0, "width": 1280, "height": 1024},
        {"name": "small", "x": 1280, "y": 0, "width": 800, "height": 600}]})");
    screens.flush();
    qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + screens.fileName().toLocal8Bit());
    Application app(argc, argv);
    // An error that reaches the event loop unexpected fails the test under way.
    ScriptedPrompts unexpected_errors;
    app.set_prompts(&unexpected_errors);
    ::testing::InitGoogleMock(&argc, argv);
    return RUN_ALL_TESTS();
}
