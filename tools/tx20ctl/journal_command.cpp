#include "tools/tx20ctl/journal_command.h"

#include <QFileInfo>

#include "journal/journal.h"
#include "journal/journal_text.h"
#include "tools/tx20ctl/ctl_commands.h"

namespace {

QString plain_line(const JournalEntry& e) {
    QString line = e.time.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    line += QLatin1String("  ") + e.user + QLatin1String("  ") + e.program;
    if (!e.source.isEmpty()) line += QLatin1String(" (") + e.source + QLatin1Char(')');
    line += e.address >= 0 ? QStringLiteral("  @%1").arg(e.address) : QStringLiteral("  -");
    line += QLatin1String("  ") + kind_name(e.kind);
    line += e.ok ? QLatin1String("  ok  ") : QLatin1String("  FAILED  ");
    line += e.summary;
    line += QLatin1Char('\n');
    return line;
}

}  // namespace

int run_journal_command(const QStringList& args, FILE* out, QTextStream& err) {
    JournalFilter f;
    enum class Format { Plain, Json, Csv } format = Format::Plain;
    const auto usage = [&err](const QString& why) {
        err << "tx20ctl: " << why << Qt::endl;
        return kExitUsage;
    };
    for (int i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        const bool has_value = i + 1 < args.size();
        if (a == QLatin1String("--json")) {
            format = Format::Json;
        } else if (a == QLatin1String("--csv")) {
            format = Format::Csv;
        } else if (!has_value) {
            return usage(QStringLiteral("journal: unknown option or missing value: %1").arg(a));
        } else if (a == QLatin1String("--since") || a == QLatin1String("--until")) {
            const bool until = a == QLatin1String("--until");
            const auto t = journal_text::parse_time(args[++i], until);
            if (!t)
                return usage(
                    QStringLiteral("journal: %1 is not a time (2026-12-10 or 2026-12-10T08:30)")
                        .arg(args[i]));
            (until ? f.until : f.since) = *t;
        } else if (a == QLatin1String("--address")) {
            bool ok = false;
            const int n = args[++i].toInt(&ok);
            if (!ok || n < 0 || n > 126)
                return usage(QStringLiteral("journal: --address takes 0..126"));
            f.address = n;
        } else if (a == QLatin1String("--kind")) {
            f.kind = kind_from_name(args[++i]);
            if (!f.kind)
                return usage(
                    QStringLiteral("journal: unknown kind %1 (write, eeprom, clone, tuning, ident, "
                                   "port, link, file, alarm, ack, missed)")
                        .arg(args[i]));
        } else if (a == QLatin1String("--text")) {
            f.text = args[++i];
        } else {
            return usage(QStringLiteral("journal: unknown option %1").arg(a));
        }
    }
    const QString path = Journal::default_path();
    if (!QFileInfo::exists(path)) {
        err << "tx20ctl: no journal yet at " << path << Qt::endl;
        return kExitFailed;
    }
    Journal journal(path);
    journal.set_fault_handler([&err](const QString& t) { err << "tx20ctl: " << t << Qt::endl; });
    // Written in large pieces: a million entries take a second or two.
    QByteArray buffer;
    buffer.reserve(1 << 17);
    const auto spill = [&](bool all) {
        if (!all && buffer.size() < (1 << 16)) return;
        std::fwrite(buffer.constData(), 1, static_cast<std::size_t>(buffer.size()), out);
        buffer.clear();
    };
    qint64 n = 0;
    if (format == Format::Csv) {
        n = journal.export_csv(f, [&](const QByteArray& piece) {
            std::fwrite(piece.constData(), 1, static_cast<std::size_t>(piece.size()), out);
        });
    } else {
        n = journal.for_each(
            f,
            [&](const JournalEntry& e) {
                buffer += (format == Format::Json ? journal_text::json_line(e) + QLatin1Char('\n')
                                                  : plain_line(e))
                              .toUtf8();
                spill(false);
            },
            format == Format::Json);
    }
    spill(true);
    std::fflush(out);
    if (n < 0) {
        err << "tx20ctl: the journal cannot be read: " << journal.fault_text() << Qt::endl;
        return kExitFailed;
    }
    return kExitOk;
}
