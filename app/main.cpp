#include <QCoreApplication>
#include <exception>

#include "app/main_window.h"
#include "app/program.h"
#include "platform/application.h"
#include "platform/error_report.h"

int main(int argc, char** argv) {
    Application app(argc, argv);
    int rc = 0;
    try {
        Program program;
        app.set_prompts(&program.prompts());
        program.main_window().show();
        const QStringList args = QCoreApplication::arguments();
        if (const auto a = args.indexOf(QStringLiteral("--analyse")); a > 0 && a + 1 < args.size())
            program.open_analysis(args.at(a + 1));
        rc = Application::exec();
        app.set_prompts(nullptr);
    } catch (const std::exception& e) {
        // Whatever escapes start-up or the event loop is shown, and the program ends.
        app.set_prompts(nullptr);
        report_error(app.prompts(), e);
    }
    return rc;
}
