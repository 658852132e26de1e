#pragma once

#include <QStringList>
#include <QTextStream>

class SettingsStore;

// tx20ctl ports [--map COMn=PATH]... [--unmap COMn]...: without options lists the
// serial devices and the COM1..COM8 map; with them changes the map in store.
// args follow the word "ports". Returns the exit status.
int run_ports_command(const QStringList& args, SettingsStore& store, QTextStream& out,
                      QTextStream& err);
