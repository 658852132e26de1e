#pragma once

class ServiceJournal;

#include <QTextStream>
#include <atomic>
#include <memory>

#include "tools/tx20ctl/ctl_options.h"

class QCoreApplication;
class RecordingLine;
class BusSession;

// backup, diff, clone and report: the commissioning commands, which take options of
// their own after the command word.
bool is_commissioning_command(const QString& word, CtlOptions::Command* command);
bool is_commissioning(CtlOptions::Command command);

// The command's own options checked without touching the bus or any file; empty when
// usable.
QString check_commissioning(const CtlOptions& o);
// Whether the command talks to a controller (diff of two files does not).
bool commissioning_needs_port(const CtlOptions& o);

// Runs the command; req and recorded are null when no port was opened.
// Each clone target goes into the journal when one is given.
int run_commissioning(const CtlOptions& o, BusSession* req, const RecordingLine* recorded,
                      QTextStream& out, QTextStream& err, const std::atomic<bool>& interrupted,
                      ServiceJournal* journal = nullptr);

// A report paints with Qt's GUI classes: those need a QGuiApplication, on the offscreen
// platform unless QT_QPA_PLATFORM names another.
std::unique_ptr<QCoreApplication> make_ctl_application(int& argc, char** argv);
