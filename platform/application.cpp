#include "platform/application.h"

#include <QLibraryInfo>
#include <exception>

#include "platform/error_report.h"

Application::Application(int& argc, char** argv) : QApplication(argc, argv) {
    // The display name follows the application name. Setting it explicitly would make
    // the platform append it to every window caption ("KELVRA 20 — TX-20").
    setApplicationName(QStringLiteral("TX-20"));
    // The framework's own texts (standard buttons, file and colour dialogs) in Czech,
    // before any window exists; without the catalogue they stay in English.
    if (framework_texts_.load(QStringLiteral("qtbase_cs"),
                              QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        installTranslator(&framework_texts_);
    // Lets the desktop match the windows to the installed entry and its icon.
    setDesktopFileName(QStringLiteral("tx20"));
}

bool Application::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& e) {
        report_error(prompts(), e);
    } catch (...) {
        // Nothing may escape into the event loop; an unknown error still ends its handler.
        report_error(prompts(), QStringLiteral("Neznámá chyba"));
    }
    // The event reached its handler; the error has been dealt with.
    return true;
}
