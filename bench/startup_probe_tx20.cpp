// The program's own start-up (every window created in order, settings read, port
// opened), ended at the main window's first paint.
#include <QApplication>

#include "app/main_window.h"
#include "app/program.h"
#include "first_paint.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    Program program;
    FirstPaint probe(&program.main_window());
    program.main_window().show();
    return QApplication::exec();
}
