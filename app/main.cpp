#include <QApplication>
#include <exception>

#include "app/main_window.h"
#include "app/program.h"
#include "platform/error_report.h"
#include "platform/qt_prompts.h"

int main(int argc, char** argv) {
    // The application object with its default error report replaces QApplication here.
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("TX-20"));
    try {
        Program program;
        program.main_window().show();
        return QApplication::exec();
    } catch (const std::exception& e) {
        // Whatever escapes start-up or the event loop is shown, and the program ends.
        QtPrompts prompts;
        report_error(prompts, e);
    }
    return 0;
}
