#pragma once

#include <QString>
#include <functional>
#include <memory>

#include "app/main_window.h"

class AnalysisWindow;
class ServiceJournal;
class TuningWindow;
class BusWorker;
class Prompts;
class SettingsStore;
class RecordingLine;
class Tkrt01;
class Tport;

// The whole program: the settings store, prompts, clock, serial line, request layer
// and every window, created once in start-up order and kept until the end.
class Program {
  public:
    Program();
    ~Program();
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    Tkrt01& main_window();
    // The prompts every window uses; the application object reports errors through them.
    Prompts& prompts();
    // The recording line every request goes through, for the traffic monitor.
    RecordingLine& recorder();
    // The bus worker every exchange of the windows goes through.
    BusWorker& bus();
    SettingsStore& store();
    // The service journal and the alarms.
    ServiceJournal& journal();
    // A recorded measurement log in an analysis window beside the main window.
    void open_analysis(const QString& path);

  private:
    void add_servis_windows(Tkrt01& w, Tport* port);
    std::function<void()> commissioning_opener(Tkrt01& w, Tport* port);
    void attach_tuning(AnalysisWindow* a);
    void add_journal(Tkrt01& w, const Tkrt01::Dialogs& d);
    void watch_tuning(TuningWindow* t);

    struct Parts;
    std::unique_ptr<Parts> parts_;
};
