// Appends COUNT entries to the journal at PATH and prints the number of each one as soon
// as the database has it.
#include <QCoreApplication>
#include <cstdio>

#include "journal/journal.h"

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc < 4) return 2;
    const QString path = QString::fromLocal8Bit(argv[1]);
    const int count = QByteArray(argv[2]).toInt();
    const QString tag = QString::fromLocal8Bit(argv[3]);
    Journal journal(path);
    journal.set_retry_interval_ms(0);
    for (int i = 0; i < count; ++i) {
        JournalEntry e;
        e.kind = JournalKind::Write;
        e.source = tag;
        e.address = i % 126 + 1;
        e.summary = QStringLiteral("%1 %2").arg(tag).arg(i);
        e.changes = {{3, QStringLiteral("PB"), QStringLiteral("1"), QString::number(i)}};
        if (!journal.record(e)) return 1;
        std::printf("%d\n", i);
        std::fflush(stdout);
    }
    return 0;
}
