// The yardstick for start-up: a bare Qt Widgets program with an empty main window.
#include <QApplication>
#include <QMainWindow>

#include "first_paint.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QMainWindow window;
    window.resize(718, 523);
    FirstPaint probe(&window);
    window.show();
    return QApplication::exec();
}
