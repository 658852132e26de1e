#include "commissioning/commissioning_window.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QLocale>
#include <QProcess>
#include <QRegularExpression>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTreeWidget>

#include "comm/bus_worker.h"
#include "journal/journal.h"
#include "platform/atomic_file.h"
#include "platform/private_profile.h"
#include "support/render.h"
#include "support/request_fixture.h"

using namespace commissioning;

namespace {

// The window on the bus worker, with simulated controllers 1..3 behind the fake line.
class CommissioningWindowTest : public RequestFixture {
  protected:
    void SetUp() override {
        RequestFixture::SetUp();
        sim::Options o;
        o.addresses = {1, 2, 3};
        attach(o);
        // The reference: the simulator's values with the set point, a whole number and a
        // list entry changed; the set point as the editor would show it here.
        reference = dir.filePath(QStringLiteral("ref.ini"));
        save_backup(reference, bus->station(1));
        PrivateProfile ini(reference);
        ini.set_string(QStringLiteral("COMP"), QStringLiteral("SP"), params::format_real(40));
        ini.set_string(QStringLiteral("REGO"), QStringLiteral("DSER"), QStringLiteral("90"));
        ini.set_string(QStringLiteral("ALARM1"), QStringLiteral("RALA"), QStringLiteral("2"));
        ini.commit();
        window = std::make_unique<CommissioningWindow>(
            worker, prompts,
            CommissioningWindow::Context{
                [] { return QStringLiteral("COM1"); }, [] { return 9600; }, {}, {}, {}});
    }
    // A is the reference file, B the controller at 2.
    void load_both() { load_both(*window); }
    void load_both(CommissioningWindow& w) {
        w.choose_file(0, reference);
        w.load(0);
        w.choose_address(1, 2);
        w.load(1);
        worker.wait_idle();
    }
    // The text of the report the window saves with these fields.
    QString report_text(CommissioningWindow& w, const CommissioningWindow::ReportFields& fields,
                        const QStringList& pdftotext_options = {}) {
        w.set_asks({{}, [fields] { return std::optional(fields); }});
        const QString pdf = dir.filePath(QStringLiteral("r.pdf"));
        prompts.answer_save(pdf);
        w.report_click();
        QProcess text;
        text.start(QStringLiteral("pdftotext"),
                   QStringList{QStringLiteral("-enc"), QStringLiteral("UTF-8")} +
                       pdftotext_options + QStringList{pdf, QStringLiteral("-")});
        EXPECT_TRUE(text.waitForFinished(20000));
        return QString::fromUtf8(text.readAllStandardOutput());
    }
    QTreeWidgetItem* row(const char* control) const {
        const auto* p = params::find_control(QLatin1String(control));
        const int tab = p->tab;
        QTreeWidgetItem* group = window->table()->topLevelItem(tab);
        for (int c = 0; c < group->childCount(); ++c)
            if (group->child(c)->text(1).startsWith(
                    QString::fromUtf8(p->label).section(QLatin1Char('\n'), 0, 0)))
                return group->child(c);
        return nullptr;
    }

    QTemporaryDir dir;
    QString reference;
    BusWorker worker{req, prompts};
    std::unique_ptr<CommissioningWindow> window;
};

}  // namespace

TEST_F(CommissioningWindowTest, BothSourcesShowSideBySideWithTheDifferencesMarked) {
    load_both();
    ASSERT_TRUE(window->set(0) && window->set(1));
    // The address differs too: shown, but a clone never writes it.
    EXPECT_EQ(window->count_label()->text(),
              QStringLiteral("Rozdílů: 3 (a 1 v parametrech, které klonování nezapisuje)"));
    const QColor marked = row("ed_sp")->background(2).color();
    EXPECT_TRUE(row("ed_sp")->background(2).style() != Qt::NoBrush);
    EXPECT_EQ(row("ed_sp")->text(2), params::format_real(40));
    EXPECT_EQ(row("ed_sp")->text(3), params::format_real(55));
    EXPECT_EQ(row("cb_rala1")->background(0).color(), marked);
    EXPECT_EQ(row("ed_dser")->background(0).color(), marked);
    EXPECT_EQ(row("ed_sp_l")->background(0).style(), Qt::NoBrush);
    EXPECT_EQ(row("ed_adresa")->text(4), QStringLiteral("vyloučeno"));
    EXPECT_EQ(row("ed_pass")->text(4), QStringLiteral("vyloučeno"));
    window->password_box()->setChecked(true);
    EXPECT_EQ(row("ed_pass")->text(4), QString());
    window->password_box()->setChecked(false);
    window->resize(900, 900);
    EXPECT_TRUE(render_window(window.get(), QStringLiteral("commissioning")));

    window->only_differences()->setChecked(true);
    int shown = 0;
    for (int t = 0; t < window->table()->topLevelItemCount(); ++t) {
        QTreeWidgetItem* g = window->table()->topLevelItem(t);
        for (int c = 0; c < g->childCount(); ++c) shown += g->child(c)->isHidden() ? 0 : 1;
    }
    EXPECT_EQ(shown, 4);  // the address differs too, shown though never cloned
    EXPECT_TRUE(render_window(window.get(), QStringLiteral("commissioning_differences")));
    EXPECT_TRUE(prompts.empty());
}

TEST_F(CommissioningWindowTest, CloneRunsTargetByTargetAndStopsAfterTheCurrentOne) {
    load_both();
    window->set_asks({[] { return std::optional<QString>(QStringLiteral("1-3")); }, {}});
    // The first controller goes on the line as soon as the confirmation closes.
    prompts.while_next_message_open([this] { window->stop_click(); });
    prompts.answer_message(PromptAnswer::Yes);
    window->clone_click();
    EXPECT_TRUE(window->cloning());
    worker.wait_idle();
    EXPECT_FALSE(window->cloning());
    // The confirmation lists per target what will change, as the dry run plans it.
    ASSERT_EQ(prompts.records().size(), 1u);
    const QString plan = prompts.last().text;
    EXPECT_TRUE(plan.contains(QStringLiteral("@2 (")));
    EXPECT_TRUE(plan.contains(QStringLiteral("    COMP/SP: %1 -> %2\n")
                                  .arg(params::format_real(55), params::format_real(40))))
        << plan.toStdString();
    EXPECT_FALSE(plan.contains(QStringLiteral("ADD/"))) << plan.toStdString();
    QTableWidget* r = window->results();
    ASSERT_EQ(r->rowCount(), 3);
    EXPECT_EQ(r->item(0, 3)->text(), QStringLiteral("ověřeno"));
    EXPECT_EQ(r->item(0, 2)->text(), QStringLiteral("COMP, ALARM 1, REGO"));
    EXPECT_EQ(r->item(1, 3)->text(), QStringLiteral("přerušeno"));
    EXPECT_EQ(r->item(2, 3)->text(), QStringLiteral("přerušeno"));
    EXPECT_FLOAT_EQ(bus->station(1).comp.SP, 40.0f);
    EXPECT_FLOAT_EQ(bus->station(2).comp.SP, 55.0f);

    prompts.answer_message(PromptAnswer::Yes);
    window->clone_click();
    worker.wait_idle();
    for (int i = 0; i < 3; ++i) EXPECT_EQ(r->item(i, 3)->text(), QStringLiteral("ověřeno")) << i;
    EXPECT_EQ(r->item(0, 2)->text(), QStringLiteral("žádná"));  // the same values already
    EXPECT_TRUE(render_window(window.get(), QStringLiteral("commissioning_clone")));

    // Declined: nothing is written anywhere; loading a source again clears the results.
    window->choose_file(0, reference);
    window->load(0);
    EXPECT_EQ(r->rowCount(), 0);
    line.clear_events();
    prompts.answer_message(PromptAnswer::No);
    window->clone_click();
    worker.wait_idle();
    EXPECT_EQ(r->item(2, 3)->text(), QStringLiteral("nezapsáno"));
    EXPECT_TRUE(line.writes().size() > 0);  // the reads of the plan
    for (const auto& w : line.writes()) EXPECT_NE(w.size() > 6 ? w[6] : 0, 0x63) << "a write";
}

TEST_F(CommissioningWindowTest, BadTargetListWritesNothing) {
    load_both();
    window->set_asks({[] { return std::optional<QString>(QStringLiteral("1,1")); }, {}});
    line.clear_events();
    prompts.allow_ok_messages();
    window->clone_click();
    worker.wait_idle();
    ASSERT_EQ(prompts.records().size(), 1u);
    EXPECT_TRUE(prompts.last().text.contains(QStringLiteral("dvakrát")));
    EXPECT_TRUE(line.writes().empty());
}

TEST_F(CommissioningWindowTest, ReportKeepsTheOldFileWhenTheDiskIsFull) {
    load_both();
    const QString pdf = dir.filePath(QStringLiteral("r.pdf"));
    window->set_asks({{}, [] {
                          return std::optional<CommissioningWindow::ReportFields>(
                              {QStringLiteral("Jan Novák"), QStringLiteral("poznámka"), false, {}});
                      }});
    prompts.answer_save(pdf);
    window->report_click();
    QFile f(pdf);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray first = f.readAll();
    f.close();
    EXPECT_TRUE(first.startsWith("%PDF"));

    AtomicFile::InjectedFault full(AtomicFile::Fault::ShortWrite);
    prompts.answer_save(pdf);
    prompts.allow_ok_messages();
    window->report_click();
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), first);
    EXPECT_TRUE(prompts.last().text.startsWith(QStringLiteral("Protokol nelze zapsat")));
}

// The report is about one controller, and everything on it is that controller's: its own
// link figures, no trend of another controller, the password hidden, Czech numbers.
TEST_F(CommissioningWindowTest, TheReportShowsOnlyItsControllersFiguresAndHidesThePassword) {
    bus->station(2).ost.PASS = 4321;
    std::map<int, AddressStats> stats;
    for (int a : {1, 2, 7, 42}) {
        stats[a].requests = a == 2 ? 4242 : 9999;
        stats[a].reply_min_ms = 3;
        stats[a].reply_mean_ms = 12.5;
        stats[a].reply_max_ms = 20;
    }
    QImage trend(200, 100, QImage::Format_RGB32);
    trend.fill(Qt::white);
    int trend_asked = -1;
    CommissioningWindow w(worker, prompts,
                          CommissioningWindow::Context{[] { return QStringLiteral("COM1"); },
                                                       [] { return 9600; },
                                                       [stats] { return stats; },
                                                       [&](int a) {
                                                           trend_asked = a;
                                                           return a == 1 ? trend : QImage();
                                                       },
                                                       {}});
    load_both(w);
    QLocale::setDefault(QLocale(QLocale::Czech, QLocale::Czechia));
    const auto pdf_text = [&](bool password) {
        return report_text(w, {QStringLiteral("Jan Novák"), QString(), password, {}});
    };
    const QString t = pdf_text(false);
    QLocale::setDefault(QLocale::system());
    EXPECT_EQ(trend_asked, 2);
    EXPECT_TRUE(t.contains(QRegularExpression(QStringLiteral("Adresa regulátoru:\\s+2\\n"))))
        << t.toStdString();
    EXPECT_TRUE(t.contains(QStringLiteral("4242")));
    EXPECT_FALSE(t.contains(QStringLiteral("9999"))) << "another address's figures";
    EXPECT_TRUE(t.contains(QStringLiteral("12,5"))) << "the locale's decimal comma";
    EXPECT_TRUE(t.contains(QStringLiteral("Trend není k dispozici")));
    EXPECT_FALSE(t.contains(QStringLiteral("4321"))) << "the password";
    EXPECT_TRUE(t.contains(QStringLiteral("****")));
    // No number with a decimal point (dates have two, DP's entry "000.0" is a picture).
    EXPECT_FALSE(
        t.contains(QRegularExpression(QStringLiteral("(^|\\s)-?(?!0\\d)\\d+\\.\\d+(\\s|$)"))))
        << t.toStdString();
    EXPECT_TRUE(pdf_text(true).contains(QStringLiteral("4321")));
}

// "Provedené změny": what the journal holds of this controller's writes, commits, clones
// and tunings in the range chosen, old → new; nothing of other controllers, other kinds
// or other times.
TEST_F(CommissioningWindowTest, TheReportListsTheChangesMadeToItsControllerInTheRange) {
    Journal journal(dir.filePath(QStringLiteral("j.sqlite")));
    const QDateTime from(QDate(2026, 12, 10), QTime(8, 0));
    const QDateTime to(QDate(2026, 12, 10), QTime(12, 0));
    const auto add = [&](int address, JournalKind kind, int minutes, bool ok,
                         const QString& summary, std::vector<FieldChange> changes = {}) {
        JournalEntry e;
        e.time = from.addSecs(minutes * 60);
        e.address = address;
        e.kind = kind;
        e.ok = ok;
        e.user = QStringLiteral("technik");
        e.source = QStringLiteral("Parametry regulátoru – Zápis");
        e.summary = summary;
        e.changes = std::move(changes);
        ASSERT_TRUE(journal.record(e));
    };
    add(2, JournalKind::Write, 10, true, QStringLiteral("w"), {{3, "PB", "1.5", "2.25"}});
    add(2, JournalKind::Write, 20, false, QStringLiteral("w"), {{0, "SP", "", "40"}});
    add(2, JournalKind::Eeprom, 30, true, QStringLiteral("Parametry uloženy do EEPROM"));
    add(2, JournalKind::Link, 40, false, QStringLiteral("Spojení ztraceno"));
    add(2, JournalKind::Write, -10, true, QStringLiteral("w"), {{3, "INT", "77", "88"}});
    add(3, JournalKind::Write, 50, true, QStringLiteral("w"), {{3, "DER", "55", "66"}});
    CommissioningWindow w(
        worker, prompts,
        CommissioningWindow::Context{[] { return QStringLiteral("COM1"); },
                                     [] { return 9600; },
                                     {},
                                     {},
                                     [&](int a, const QDateTime& f, const QDateTime& t) {
                                         return report_changes(journal, a, f, t);
                                     }});
    load_both(w);
    QLocale::setDefault(QLocale(QLocale::Czech, QLocale::Czechia));
    const auto pdf_text = [&](QDateTime f, QDateTime t) {
        return report_text(w, {QStringLiteral("Jan Novák"), QString(), false, std::make_pair(f, t)},
                           {QStringLiteral("-layout")});
    };
    const QString t = pdf_text(from, to);
    const QString empty = pdf_text(to.addDays(1), to.addDays(2));
    QLocale::setDefault(QLocale::system());
    const auto has = [&t](const QString& re) {
        return t.contains(QRegularExpression(re, QRegularExpression::UseUnicodePropertiesOption));
    };
    EXPECT_TRUE(t.contains(QStringLiteral("Provedené změny")));
    EXPECT_TRUE(t.contains(QStringLiteral("Období: 10.12.2026 08:00 – 10.12.2026 12:00")));
    EXPECT_TRUE(has(QStringLiteral("tabulka 3: PB\\s+1,5\\s+2,25"))) << t.toStdString();
    EXPECT_TRUE(has(QStringLiteral("tabulka 0: SP \\(nezdařilo.*\\?\\s+40")));
    EXPECT_TRUE(t.contains(QStringLiteral("Parametry uloženy do EEPROM")));
    EXPECT_TRUE(t.contains(QStringLiteral("technik")));
    EXPECT_FALSE(t.contains(QStringLiteral("Spojení ztraceno"))) << "not a change";
    EXPECT_FALSE(t.contains(QStringLiteral("tabulka 3: INT"))) << "before the range";
    EXPECT_FALSE(t.contains(QStringLiteral("tabulka 3: DER"))) << "another controller";
    EXPECT_LT(t.indexOf(QStringLiteral("Provedené změny")),
              t.indexOf(QStringLiteral("Servisní zásah")));
    EXPECT_TRUE(empty.contains(QStringLiteral("Žádné změny.")));
}
