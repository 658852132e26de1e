#pragma once

#include <QStringList>
#include <QTextStream>
#include <cstdio>

// tx20ctl journal [--since T] [--until T] [--address N] [--kind K] [--text S] [--json|--csv]:
// the service journal's entries, oldest first, to standard output. Needs no port.
int run_journal_command(const QStringList& args, FILE* out, QTextStream& err);
