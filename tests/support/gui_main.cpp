#include <gmock/gmock.h>

#include "platform/application.h"
#include "support/scripted_prompts.h"

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    Application app(argc, argv);
    // An error that reaches the event loop unexpected fails the test under way.
    ScriptedPrompts unexpected_errors;
    app.set_prompts(&unexpected_errors);
    ::testing::InitGoogleMock(&argc, argv);
    return RUN_ALL_TESTS();
}
