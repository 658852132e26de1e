// A second yardstick: the bare program plus a menu bar and one line of text, to show
// how much of the start-up is the toolkit's first text and menu rather than TX-20.
#include <QApplication>
#include <QLabel>
#include <QMainWindow>
#include <QMenuBar>

#include "first_paint.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QMainWindow window;
    window.menuBar()->addMenu(QStringLiteral("&Soubor"));
    window.setCentralWidget(new QLabel(QStringLiteral("Naměřená hodnota"), &window));
    window.resize(718, 523);
    FirstPaint probe(&window);
    window.show();
    return QApplication::exec();
}
