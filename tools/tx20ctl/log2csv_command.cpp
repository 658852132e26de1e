#include "tools/tx20ctl/log2csv_command.h"

#include "analysis/log_csv.h"
#include "analysis/log_reader.h"
#include "tools/tx20ctl/ctl_commands.h"

int run_log2csv_command(const QStringList& args, std::FILE* stdout_file, QTextStream& err) {
    if (args.isEmpty() || args.size() > 2 || args.first().startsWith(QLatin1String("--"))) {
        err << "tx20ctl: log2csv needs IN and optionally OUT" << Qt::endl;
        return kExitUsage;
    }
    const LogReadResult r = LogReader::read_file(args.at(0));
    if (!r.ok()) {
        err << "tx20ctl: " << args.at(0) << ": " << r.error << Qt::endl;
        return kExitFailed;
    }
    for (const QString& note : r.notes)
        err << "tx20ctl: " << args.at(0) << ": " << note << Qt::endl;
    const int last = r.data.size() - 1;
    if (args.size() == 2) {
        QString reason;
        if (!log_csv::write(args.at(1), r.data, 0, last, &reason)) {
            err << "tx20ctl: " << args.at(1) << ": " << reason << Qt::endl;
            return kExitFailed;
        }
        return kExitOk;
    }
    const QByteArray head = log_csv::header();
    const QByteArray body = log_csv::rows(r.data, 0, last);
    if (std::fwrite(head.constData(), 1, static_cast<std::size_t>(head.size()), stdout_file) !=
            static_cast<std::size_t>(head.size()) ||
        std::fwrite(body.constData(), 1, static_cast<std::size_t>(body.size()), stdout_file) !=
            static_cast<std::size_t>(body.size()) ||
        std::fflush(stdout_file) != 0) {
        err << "tx20ctl: the CSV could not be written to standard output" << Qt::endl;
        return kExitFailed;
    }
    return kExitOk;
}
