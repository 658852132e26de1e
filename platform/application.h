#pragma once

#include <QApplication>
#include <QTranslator>

#include "platform/qt_prompts.h"

class Prompts;

// The application object: title "TX-20" and the default error report. An exception
// that escapes an event handler is shown through the prompts and the event loop goes on.
class Application : public QApplication {
    Q_OBJECT
  public:
    Application(int& argc, char** argv);

    // Where errors are reported; null restores the standard message boxes.
    void set_prompts(Prompts* prompts) { prompts_ = prompts; }
    Prompts& prompts() { return prompts_ ? *prompts_ : default_prompts_; }

    bool notify(QObject* receiver, QEvent* event) override;

  private:
    QTranslator framework_texts_;
    QtPrompts default_prompts_;
    Prompts* prompts_ = nullptr;
};
