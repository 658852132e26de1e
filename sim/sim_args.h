#pragma once

#include <QString>
#include <QStringList>

#include "sim/bus.h"

namespace sim {

// The command line of the simulator executable.
struct SimArgs {
    Options options;
    QString link;
    int rate = 9600;
    bool pace = false;
};

enum class ArgsResult { Ok, Help, Error };

// Parses the arguments after the program name; on Error, error holds a one-line reason.
ArgsResult parse_sim_args(const QStringList& args, SimArgs& out, QString& error);
QString sim_usage();

}  // namespace sim
