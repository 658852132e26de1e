#include <gtest/gtest.h>

#include <QFile>
#include <QLabel>
#include <QProgressBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "comm/Unit_hl.h"
#include "comm/bus_worker.h"
#include "ident/Unittabvstupu.h"
#include "ident/about_ident.h"
#include "ident/load_form.h"
#include "params/Unitmenumod.h"
#include "params/catalogue.h"
#include "params/parameter_file.h"
#include "sim/bus.h"
#include "support/render.h"
#include "support/request_fixture.h"

namespace {

struct VersionCase {
    const char* text;
    IdentResult expected;
};

class VersionPrefixes : public ::testing::TestWithParam<VersionCase> {};

TEST_P(VersionPrefixes, ClassifyByTheFirstTenBytes) {
    std::array<char, 250> v{};
    std::strncpy(v.data(), GetParam().text, v.size() - 1);
    EXPECT_EQ(classify_version(v.data()), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Ident, VersionPrefixes,
                         ::testing::Values(VersionCase{"FW-R-18-02", IdentResult::Supported},
                                           VersionCase{"FW-R-18-02 rev. 7", IdentResult::Supported},
                                           VersionCase{"fw-r-18-02", IdentResult::Unknown},
                                           VersionCase{"FW-R-11-01", IdentResult::Krt01_1},
                                           VersionCase{"FW-R-11-02x", IdentResult::Krt01_2},
                                           VersionCase{"FW-R-11-03", IdentResult::Krt01_3},
                                           VersionCase{"FW-R-18-0", IdentResult::Unknown},
                                           VersionCase{"", IdentResult::Unknown}));

// A bus of simulated controllers behind the fake line, in virtual time.
class IdentTest : public RequestFixture {
  protected:
    int reads_of_table(int t) const {
        int n = 0;
        for (const auto& w : line.writes())
            if (w.size() == 13 && w[7] == 0x01 && w[8] == t) ++n;
        return n;
    }
    int table_reads() const {
        int n = 0;
        for (int t = 0; t < 12; ++t) n += reads_of_table(t);
        return n;
    }

    int presets_applied = 0;
    BusWorker worker{req, prompts};
    Tload_form load{worker, prompts, {[] { return 9; }, [this] { ++presets_applied; }, nullptr}};
};

TEST_F(IdentTest, SupportedControllerHasItsNineTablesReadInOrder) {
    attach(sim::Model::Supported);
    data.rego.RESV = 5;
    load.show();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !load.isVisible(); }, 5000));
    EXPECT_EQ(presets_applied, 1);
    EXPECT_EQ(load.bar_history(), (std::vector<int>{0, 20, 30, 40, 50, 60, 70, 80, 90, 100, 100}));
    for (int t = 0; t <= 8; ++t) EXPECT_EQ(reads_of_table(t), 1) << "table " << t;
    EXPECT_EQ(reads_of_table(9), 0);
    EXPECT_EQ(load.result(), QDialog::Accepted);
    EXPECT_NE(load.version_label()->text(), QStringLiteral("neidentifikováno"));
    EXPECT_TRUE(prompts.empty());
    EXPECT_EQ(line.count(FakeLine::Op::Pause), 9);
}

TEST_F(IdentTest, ProgressDialogIgnoresEscAndTheCloseBoxWhileItWorks) {
    attach(sim::Model::Supported);
    load.show();
    load.timer()->stop();  // held before the reading starts
    QTest::keyClick(&load, Qt::Key_Escape);
    EXPECT_TRUE(load.isVisible());
    EXPECT_FALSE(load.close());
    EXPECT_TRUE(load.isVisible());
    load.timer()->start();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !load.isVisible(); }, 5000));
    EXPECT_EQ(load.result(), QDialog::Accepted);
    EXPECT_EQ(table_reads(), 9);
}

TEST_F(IdentTest, IdentificationDialogsAreCentredOnTheScreenAndComeBackWhereTheyWere) {
    QWidget owner;
    owner.setGeometry(30, 40, 200, 150);
    owner.show();
    Tabout_ident box(worker, prompts, &owner);
    load.setParent(&owner, load.windowFlags());
    for (QDialog* d : {static_cast<QDialog*>(&box), static_cast<QDialog*>(&load)}) {
        d->show();
        const QRect avail = d->screen()->availableGeometry();
        EXPECT_LE((d->frameGeometry().center() - avail.center()).manhattanLength(), 2)
            << d->objectName().toStdString();
        const QPoint first = d->pos();
        d->hide();
        d->show();
        EXPECT_EQ(d->pos(), first) << d->objectName().toStdString();
        d->move(first + QPoint(40, 30));  // moved by the user
        d->hide();
        d->show();
        EXPECT_EQ(d->pos(), first + QPoint(40, 30)) << d->objectName().toStdString();
        d->hide();
    }
    load.setParent(nullptr, load.windowFlags());
}

TEST_F(IdentTest, OlderModelIsRefusedAndNothingIsRead) {
    attach(sim::Model::Krt01);
    prompts.answer_message(PromptAnswer::Ok);
    load.ReadAllTables();
    EXPECT_EQ(prompts.last().text, QStringLiteral("Identifikováno zařízení typu KRT 01"));
    EXPECT_EQ(prompts.last().caption, QStringLiteral("Komunikace"));
    EXPECT_EQ(prompts.last().icon, PromptIcon::Error);
    EXPECT_EQ(table_reads(), 0);
}

TEST_F(IdentTest, SilentBusReportsAnUnknownDevice) {
    prompts.answer_message(PromptAnswer::Ok);
    data.comp.SP = 12.5f;
    load.ReadAllTables();
    EXPECT_EQ(prompts.last().text, QStringLiteral("Chyba při čtení nebo neznámé zřízení"));
    EXPECT_EQ(table_reads(), 0);
    EXPECT_FLOAT_EQ(data.comp.SP, 12.5f);
    EXPECT_EQ(load.version_label()->text(), QStringLiteral("neidentifikováno"));
}

TEST_F(IdentTest, FailedTypeRequestStillReadsTheTables) {
    attach(sim::Model::Supported);
    line.queue_reply({});  // the type request and its repetition go unanswered
    line.queue_reply({});
    load.show();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !load.isVisible(); }, 5000));
    EXPECT_EQ(load.version_label()->text(), QStringLiteral("neidentifikováno"));
    EXPECT_EQ(table_reads(), 9);
}

// The reading before the editor opens, then a backup saved before any tab is entered.
// The controller holds a value different from the preset in every parameter.
class ReadingThenBackupTest : public RequestFixture {
  protected:
    void SetUp() override {
        RequestFixture::SetUp();
        attach(sim::Model::Supported);
        DeviceData& st = bus->station(1);
        int n = 0;
        for (const params::ParamDef& p : params::catalogue()) {
            if (params::is_list(p.kind)) {
                params::store_position(p, st,
                                       (std::max(p.preset.position, 0) + 1) % p.entries.count);
            } else {
                params::store_text(p, st, QString::number(41 + n++));
            }
        }
        controller = st;
        const auto bus_responder = [this](const Bytes& r) {
            const bool table_read = r.size() == 13 && r[7] == 0x01;
            if (table_read && r[8] == silent_table) return Bytes{};
            return sim::flatten(bus->handle(r.data(), static_cast<int>(r.size())));
        };
        line.set_responder(bus_responder);
    }
    // The reading, the editor opening on COMP, and "Uložit..." at once; what was saved.
    parameter_file::Contents read_and_save() {
        load.show();
        EXPECT_TRUE(QTest::qWaitFor([&] { return !load.isVisible(); }, 5000));
        editor.show();
        const QString file = dir.filePath(QStringLiteral("zaloha.ini"));
        prompts.answer_save(file);
        editor.tl_ulozitClick();
        return parameter_file::load(file).value_or(parameter_file::Contents{});
    }
    static bool saved_as_device(const params::ParamDef& p, const parameter_file::Contents& saved,
                                DeviceData& d) {
        const parameter_file::ControlContent c = saved.value(QLatin1String(p.control));
        return params::is_list(p.kind) ? c.position == params::list_position(p, d)
                                       : c.text == params::edit_text(p, d);
    }

    int silent_table = -1;
    DeviceData controller;
    QTemporaryDir dir;
    BusWorker worker{req, prompts};
    Tmenu_mod editor{worker, prompts};
    Tload_form load{worker,
                    prompts,
                    {[this] { return editor.page_count(); }, [this] { editor.apply_presets(); },
                     [this] { editor.tables_read(); }}};
};

TEST_F(ReadingThenBackupTest, CompleteReadingSavesTheControllersValuesForEveryTab) {
    const parameter_file::Contents saved = read_and_save();
    EXPECT_TRUE(prompts.messages().empty());
    for (const params::ParamDef& p : params::catalogue()) {
        if (!p.ini_key) continue;
        if (p.preset.set && !params::is_list(p.kind)) {
            ASSERT_NE(params::edit_text(p, controller), QLatin1String(p.preset.text)) << p.control;
        }
        if (p.preset.set && params::is_list(p.kind)) {
            ASSERT_NE(params::list_position(p, controller), p.preset.position) << p.control;
        }
        EXPECT_TRUE(saved_as_device(p, saved, controller)) << p.control;
    }
}

// A failed table is told once before the editor opens; the backup then keeps what the
// controls show: COMP from the controller, every other tab its presets.
TEST_F(ReadingThenBackupTest, FailedTableIsReportedOnceAndTheBackupKeepsThePresets) {
    silent_table = 4;
    prompts.answer_message(PromptAnswer::Ok);
    const parameter_file::Contents saved = read_and_save();
    ASSERT_EQ(prompts.messages().size(), 1u);
    EXPECT_EQ(prompts.messages()[0].text, QStringLiteral("Chyba při čtení"));
    EXPECT_EQ(prompts.messages()[0].caption, QStringLiteral("Komunikace"));
    EXPECT_EQ(prompts.messages()[0].icon, PromptIcon::Error);
    for (const params::ParamDef& p : params::catalogue()) {
        if (!p.ini_key) continue;
        const parameter_file::ControlContent c = saved.value(QLatin1String(p.control));
        if (p.tab == 0) {
            EXPECT_TRUE(saved_as_device(p, saved, controller)) << p.control;
        } else if (p.preset.set) {
            if (params::is_list(p.kind))
                EXPECT_EQ(c.position, p.preset.position) << p.control;
            else
                EXPECT_EQ(c.text, QLatin1String(p.preset.text)) << p.control;
        }
    }
}

TEST_F(IdentTest, IdentificationBoxShowsTypeAndVersion) {
    attach(sim::Model::Supported);
    Tabout_ident box(worker, prompts);
    QSignalSpy found(&box, &Tabout_ident::identified);
    box.ShowIdentification();
    EXPECT_EQ(box.findChild<QLabel*>("lb_zarizeni")->text(),
              QString::fromLatin1(buffer.type_text.data()));
    EXPECT_TRUE(box.findChild<QLabel*>("lb_verze")->text().startsWith("FW-R-18-02"));
    EXPECT_TRUE(prompts.empty());
    // For the journal: the address, the model and both texts.
    ASSERT_EQ(found.size(), 1);
    EXPECT_EQ(found[0][0].toInt(), 1);
    EXPECT_EQ(found[0][1].toInt(), static_cast<int>(IdentResult::Supported));
    EXPECT_EQ(found[0][2].toString(), QString::fromLatin1(buffer.type_text.data()));
    EXPECT_TRUE(found[0][3].toString().startsWith("FW-R-18-02"));
}

TEST_F(IdentTest, IdentificationBoxOnASilentBusChangesNothing) {
    Tabout_ident box(worker, prompts);
    QSignalSpy found(&box, &Tabout_ident::identified);
    box.ShowIdentification();
    EXPECT_EQ(box.findChild<QLabel*>("lb_zarizeni")->text(),
              QStringLiteral("Typ zařízení - neidentifikováno"));
    EXPECT_EQ(box.findChild<QLabel*>("lb_verze")->text(),
              QStringLiteral("Verze zařízení - neidentifikováno"));
    EXPECT_TRUE(prompts.empty());
    ASSERT_EQ(found.size(), 1);
    EXPECT_TRUE(found[0][2].toString().isEmpty() && found[0][3].toString().isEmpty());
}

TEST_F(IdentTest, ForeignDeviceIsWarnedAboutWithFourLines) {
    attach(sim::Model::Foreign);
    prompts.answer_message(PromptAnswer::Ok);
    Tabout_ident box(worker, prompts);
    QSignalSpy found(&box, &Tabout_ident::identified);
    box.ShowIdentification();
    ASSERT_EQ(found.size(), 1);
    EXPECT_EQ(found[0][1].toInt(), -1);
    EXPECT_EQ(box.findChild<QLabel*>("lb_zarizeni")->text(), QStringLiteral("jiné zařízení"));
    ASSERT_EQ(prompts.messages().size(), 1u);
    const auto& m = prompts.last();
    EXPECT_EQ(m.caption, QStringLiteral("ERROR"));
    EXPECT_EQ(m.icon, PromptIcon::Warning);
    const QStringList lines = m.text.split(QLatin1Char('\r'));
    ASSERT_EQ(lines.size(), 4) << m.text.toStdString();
    EXPECT_EQ(lines[0],
              QStringLiteral("Identifikováno zařízení pro které je nutné použít jiný software"));
    EXPECT_FALSE(m.text.contains(QLatin1Char('\n')));
    EXPECT_EQ(box.findChild<QLabel*>("lb_verze")->text(), lines[3]);
}

TEST_F(IdentTest, ClosingTheBoxEarlyDoesNotCancelTheQuery) {
    attach(sim::Model::Supported);
    Tabout_ident box(worker, prompts);
    box.show();
    box.reject();
    ASSERT_TRUE(box.timer()->isActive());
    ASSERT_TRUE(QTest::qWaitFor([&] { return !box.timer()->isActive(); }, 3000));
    EXPECT_TRUE(box.findChild<QLabel*>("lb_verze")->text().startsWith("FW-R-18-02"));
}

// --- Input table ---

QByteArray read_all(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QByteArray expected_export(const std::function<QString(int)>& v) {
    QByteArray s;
    auto line = [&](const QString& t) { s += t.toLatin1() + "\r\n"; };
    auto keys = [&](const char* section, std::initializer_list<std::pair<const char*, int>> kv) {
        line(QStringLiteral("[%1]").arg(QLatin1String(section)));
        for (const auto& [k, i] : kv)
            line(QLatin1String(k) + QLatin1Char('=') +
                 (i < 0 ? QStringLiteral("KELVRA 20") : v(i)));
    };
    keys("IDENT", {{"TAB_VSTUPU", -1}, {"VYR_CISLO", 23}});
    keys("PT100", {{"PT_60", 0},
                   {"PT_100", 1},
                   {"PT_140", 2},
                   {"PT_180", 3},
                   {"PT_220", 4},
                   {"PT_260", 5},
                   {"PT_300", 6},
                   {"PT_340", 7}});
    keys("NIKL5000ppm",
         {{"NI_-50", 8}, {"NI_10", 9}, {"NI_70", 10}, {"NI_130", 11}, {"NI_190", 12}});
    keys("NIKL6810ppm",
         {{"NI_-50", 13}, {"NI_10", 14}, {"NI_70", 15}, {"NI_130", 16}, {"NI_190", 17}});
    keys("VSTUP", {{"75MV", 18},
                   {"PROUD20MA", 21},
                   {"NAPETI10V", 22},
                   {"PLUS75MV", 26},
                   {"MINUS75MV", 27},
                   {"PLUS18MV", 28},
                   {"MINUS18MV", 29},
                   {"ZV_OVL", 30},
                   {"ZV_OVH", 31},
                   {"ZV_4MA", 32},
                   {"ZV_20MA", 33},
                   {"ZV_1V", 34}});
    keys("SVORKY", {{"TEPLOTA_0", 19}, {"TEPLOTA_60", 20}});
    keys("VYROBA", {{"CISLO", 23}, {"TTD", 24}, {"RESERVE", 25}});
    keys("ANALOG", {{"OUT_1MA", 35}, {"OUT_6MA", 36}, {"OUT_12MA", 37}, {"OUT_20MA", 38}});
    keys("SYSTEM", {{"UCC1", 39}});
    keys("DATUM", {{"DEN", 40}, {"MESIC", 41}, {"ROK", 42}});
    return s;
}

class InputTableTest : public IdentTest {
  protected:
    QTemporaryDir dir;
    Ttab_vstupu table{worker, prompts};
    QString path() const { return dir.filePath(QStringLiteral("vstupy.txt")); }
};

TEST_F(InputTableTest, ExportBeforeAnyReadingWritesQuestionMarks) {
    prompts.answer_save(path());
    table.Button3Click();
    EXPECT_EQ(read_all(path()), expected_export([](int) { return QStringLiteral("???"); }));
    const auto& r = prompts.records().front().file;
    EXPECT_EQ(r.file_name, QStringLiteral("Vstupy Kelvra20"));
    EXPECT_EQ(r.default_suffix, QStringLiteral("txt"));
    EXPECT_TRUE(r.overwrite_prompt);
}

TEST_F(InputTableTest, ExportAfterReadingWritesTheValuesUnsigned) {
    attach(sim::Model::Supported);
    bus->station(1).inputs.IN[5] = 65535;
    table.Button1Click();
    ASSERT_TRUE(prompts.empty());
    EXPECT_EQ(table.value_text(5), QStringLiteral("65535"));
    prompts.answer_save(path());
    table.Button3Click();
    const auto in = data.inputs.IN;
    EXPECT_EQ(
        read_all(path()), expected_export([&](int i) {
            return QString::number(static_cast<std::uint16_t>(in[static_cast<std::size_t>(i)]));
        }));
}

TEST_F(InputTableTest, FailedReadingKeepsTheLabels) {
    prompts.answer_message(PromptAnswer::Ok);
    table.Button1Click();
    EXPECT_EQ(prompts.last().text, QStringLiteral("Chyba při čtení"));
    EXPECT_EQ(prompts.last().caption, QStringLiteral("Komunikace"));
    EXPECT_EQ(table.value_text(0), QStringLiteral("???"));
}

TEST_F(InputTableTest, ExportIntoAnotherIniKeepsItsContentAndOneCopyOfEachKey) {
    {
        QFile f(path());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("[OTHER]\r\nA=1\r\n[pt100]\r\npt_60=old\r\nX=2\r\n");
    }
    prompts.answer_save(path());
    table.Button3Click();
    prompts.answer_save(path());
    table.Button3Click();
    const QByteArray text = read_all(path());
    EXPECT_TRUE(text.startsWith("[OTHER]\r\nA=1\r\n[pt100]\r\n"));
    EXPECT_TRUE(text.contains("X=2\r\n"));
    EXPECT_FALSE(text.contains("old"));
    EXPECT_EQ(text.count("TAB_VSTUPU="), 1);
    EXPECT_EQ(text.count("NI_-50="), 2);
}

TEST_F(InputTableTest, UnwritableFileIsReported) {
    const QString blocked = dir.filePath(QStringLiteral("plain"));
    {
        QFile f(blocked);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    const QString bad = blocked + QStringLiteral("/inside.txt");
    prompts.answer_save(bad);
    prompts.answer_message(PromptAnswer::Ok);
    table.Button3Click();
    EXPECT_EQ(prompts.last().text, QStringLiteral("Unable to write to ") + bad + QLatin1Char('.'));
    EXPECT_EQ(prompts.last().caption, QStringLiteral("TX-20"));
}

}  // namespace

namespace {

TEST_F(InputTableTest, RendersWithValues) {
    attach(sim::Model::Supported);
    table.Button1Click();
    EXPECT_TRUE(render_window(&table, QStringLiteral("input_table")));
    table.hide();
}

TEST_F(IdentTest, RendersTheIdentificationDialogs) {
    attach(sim::Model::Supported);
    Tabout_ident box(worker, prompts);
    box.ShowIdentification();
    EXPECT_TRUE(render_window(&box, QStringLiteral("ident_box")));
    box.timer()->stop();
    box.hide();
    load.show();
    load.timer()->stop();
    load.IdentifyDevice();
    load.StepProgress(30);
    EXPECT_TRUE(render_window(&load, QStringLiteral("load_form")));
    load.hide();
}

}  // namespace
