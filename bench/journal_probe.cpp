// The service journal's figures: one entry written on the window thread (its P99), the
// journal window's filter changes over a million entries, and a kill -9 during a stream
// of entries. Prints figures; asserts nothing.
//   journal_probe DIR [ENTRIES]   fills DIR/TX-20/journal.sqlite and measures
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QThread>
#include <algorithm>
#include <cstdio>
#include <ctime>
#include <set>
#include <vector>

#include "journal/journal.h"
#include "journal/journal_model.h"
#include "journal/journal_window.h"
#include "journal/service_journal.h"
#include "platform/prompts.h"

namespace {

class NoPrompts : public Prompts {
  public:
    PromptAnswer message(const QString&, const QString&, PromptIcon, PromptButtons,
                         PromptOwner) override {
        return PromptAnswer::Ok;
    }
    std::optional<QString> save_file(const FileDialogRequest&) override { return std::nullopt; }
    std::optional<QString> open_file(const FileDialogRequest&) override { return std::nullopt; }
    std::optional<std::uint32_t> choose_color(std::uint32_t) override { return std::nullopt; }
};

double thread_cpu_ms() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

double percentile(std::vector<double> v, double p) {
    std::sort(v.begin(), v.end());
    return v[static_cast<std::size_t>(p * (v.size() - 1))];
}

// A million entries in one transaction, as years of service would leave them.
void fill(const QString& path, int n) {
    { Journal create(path); }
    QSqlDatabase d = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("fill"));
    d.setDatabaseName(path);
    d.open();
    QSqlQuery q(d);
    q.exec(QStringLiteral("BEGIN"));
    q.prepare(
        QStringLiteral("INSERT INTO entries (time, user, program, source, address, kind, "
                       "ok, summary, changes) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)"));
    const char* kinds[] = {"write", "link", "alarm", "eeprom", "port"};
    const qint64 t0 = QDateTime::currentMSecsSinceEpoch() - qint64{n} * 60'000;
    for (int i = 0; i < n; ++i) {
        q.addBindValue(t0 + qint64{i} * 60'000);
        q.addBindValue(QStringLiteral("technik"));
        q.addBindValue(QStringLiteral("TX-20"));
        q.addBindValue(QStringLiteral("Parametry regulátoru – Zápis"));
        q.addBindValue(i % 30 + 1);
        q.addBindValue(QString::fromLatin1(kinds[i % 5]));
        q.addBindValue(1);
        q.addBindValue(QStringLiteral("Tabulka 3 zapsána: PB %1 → %2").arg(i % 97).arg(i % 89));
        q.addBindValue(QVariant(QMetaType(QMetaType::QString)));
        q.exec();
    }
    q.exec(QStringLiteral("COMMIT"));
    d.close();
    d = {};
    QSqlDatabase::removeDatabase(QStringLiteral("fill"));
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc < 2) return 2;
    const int n = argc > 2 ? QByteArray(argv[2]).toInt() : 1'000'000;
    const QString path =
        QDir(QString::fromLocal8Bit(argv[1])).filePath(QStringLiteral("TX-20/journal.sqlite"));
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile::remove(path);
    QElapsedTimer t;
    t.start();
    fill(path, n);
    std::printf("filled %d entries in %.1f s\n", n, t.elapsed() / 1000.0);

    {
        // One entry as the editor's "Zápis" makes it, on the window thread.
        ServiceJournal j(path, nullptr, Journal::Upkeep::Background);
        // The program's own upkeep indexes an existing journal once, on its thread.
        t.restart();
        while (j.journal().indexed_up_to().value_or(0) < n && t.elapsed() < 600'000)
            QThread::msleep(100);
        std::printf("text index built over %d entries in %.1f s (by the upkeep thread)\n", n,
                    t.elapsed() / 1000.0);
        DeviceData d;
        std::vector<double> ms;
        std::vector<double> cpu;  // the thread's own work, without the waits
        const int writes = 5000;
        for (int i = 0; i < writes; ++i) {
            d.pid.PB = static_cast<float>(i);
            QElapsedTimer e;
            const double c0 = thread_cpu_ms();
            e.start();
            j.table_written(1, 3, true, d, QStringLiteral("Parametry regulátoru – Zápis"));
            ms.push_back(e.nsecsElapsed() / 1e6);
            cpu.push_back(thread_cpu_ms() - c0);
        }
        std::printf(
            "one entry written: median %.3f ms, P99 %.3f ms, P99.9 %.3f ms, max %.3f ms (%d "
            "entries)\n",
            percentile(ms, 0.5), percentile(ms, 0.99), percentile(ms, 0.999),
            *std::max_element(ms.begin(), ms.end()), writes);
        std::printf("  its thread's CPU: median %.3f ms, P99 %.3f ms, max %.3f ms\n",
                    percentile(cpu, 0.5), percentile(cpu, 0.99),
                    *std::max_element(cpu.begin(), cpu.end()));

        NoPrompts prompts;
        t.restart();
        JournalWindow w(j, prompts);
        w.show();
        app.processEvents();
        std::printf("journal window opened in %lld ms\n", static_cast<long long>(t.elapsed()));
        struct Change {
            const char* what;
            JournalFilter f;
        };
        JournalFilter kind;
        kind.kind = JournalKind::Eeprom;
        JournalFilter address;
        address.address = 17;
        JournalFilter both = address;
        both.kind = JournalKind::Write;
        JournalFilter common;
        common.text = QStringLiteral("PB 5");
        JournalFilter rare;
        rare.text = QStringLiteral("→ 88 zz");
        // Every three characters of it are in every entry, the whole in none.
        JournalFilter nowhere;
        nowhere.text = QStringLiteral("Tabulka 9 zapsána");
        JournalFilter short_text;
        short_text.text = QStringLiteral("zz");
        JournalFilter one_char;  // in every entry
        one_char.text = QStringLiteral("á");
        JournalFilter two_some;  // in one entry of a hundred
        two_some.text = QStringLiteral("96");
        JournalFilter one;  // one entry of the million
        one.text = QStringLiteral("PB 96 → 88");
        JournalFilter range;
        range.since = QDateTime::currentDateTime().addDays(-30);
        range.until = QDateTime::currentDateTime().addDays(-20);
        JournalFilter range_text = range;
        range_text.text = QStringLiteral("PB 96");
        const Change changes[] = {{"kind", kind},
                                  {"address", address},
                                  {"address+kind", both},
                                  {"text, common", common},
                                  {"text, no match", rare},
                                  {"text, no phrase", nowhere},
                                  {"text, 2 chars", short_text},
                                  {"text, 1 char", one_char},
                                  {"text, 2, some", two_some},
                                  {"text, few", one},
                                  {"time range", range},
                                  {"time range+text", range_text},
                                  {"none", {}}};
        for (const Change& c : changes) {
            std::vector<double> each;
            for (int r = 0; r < 5; ++r) {
                QElapsedTimer e;
                e.start();
                w.model().set_filter(c.f);
                app.processEvents();
                each.push_back(e.nsecsElapsed() / 1e6);
            }
            std::printf("filter %-16s rows %4d  median %.1f ms, max %.1f ms\n", c.what,
                        w.model().rowCount(), percentile(each, 0.5),
                        *std::max_element(each.begin(), each.end()));
        }
    }
    return 0;
}
