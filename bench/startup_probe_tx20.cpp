// The program's own start-up (every window created in order, settings read, port
// opened), ended at the main window's first paint.

#include "app/main_window.h"
#include "app/program.h"
#include "first_paint.h"
#include "platform/application.h"

int main(int argc, char** argv) {
    Application app(argc, argv);
    Program program;
    app.set_prompts(&program.prompts());
    FirstPaint probe(&program.main_window());
    program.main_window().show();
    return Application::exec();
}
