#pragma once

class ServiceJournal;

#include <QTextStream>
#include <atomic>

#include "tools/tx20ctl/ctl_options.h"

class BusSession;

// tune and steptest: loop tuning from a log, and the live step test that records one.
// They take options of their own after the command word.
bool is_tuning_command(const QString& word, CtlOptions::Command* command);
bool is_tuning(CtlOptions::Command command);

// The command's own options checked without touching the bus or a file; empty when
// usable. --port, --da, --sa and --rate given after the word are moved into o.
QString check_tuning(CtlOptions& o);
// tune talks to a controller only with --write.
bool tuning_needs_port(const CtlOptions& o);

// Runs the command; session is null when no port was opened. A tuning written goes into
// the journal when one is given.
int run_tuning(const CtlOptions& o, BusSession* session, QTextStream& out, QTextStream& err,
               const std::atomic<bool>& interrupted, ServiceJournal* journal = nullptr);
