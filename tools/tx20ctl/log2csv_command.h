#pragma once

#include <QStringList>
#include <QTextStream>
#include <cstdio>

// tx20ctl log2csv IN [OUT]: a measurement log as CSV, to OUT (replaced atomically) or
// to `stdout_file`. args follow the word "log2csv". Returns the exit status: 1 when
// nothing could be read or written, 2 on bad usage.
int run_log2csv_command(const QStringList& args, std::FILE* stdout_file, QTextStream& err);
