#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include "app/Rychlostzaznamu.h"
#include "app/file_write_failure.h"
#include "main_window_fixture.h"
#include "platform/errors.h"

namespace {

// Windows-1250 bytes of the fixed header lines; the clock starts at 14.03.2026 9:26:53.
// clang-format off
const QByteArray kHeader =
    QByteArray("Za" "\xE8" "\xE1" "tek m" "\xEC" "\xF8" "en" "\xED" " na regul" "\xE1"
               "toru KELVRA 20   14.03.26     9:26:53\r\n"
               "Nam" "\xEC" "\xF8" "en" "\xE1" " hodnota; " "\x8E" "\xE1" "dan" "\xE1"
               " hodnota;Ak" "\xE8" "n" "\xED" " z" "\xE1" "sah; Porucha; " "\xE8" "as; datum\r\n") +
    QByteArray(65, '-') + "\r\n";
const QByteArray kNoFault = QByteArray("nen" "\xED" " porucha");
// clang-format on

QByteArray read_all(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return QByteArray("<unreadable>");
    return f.readAll();
}

// The recording rate dialog answered by a script instead of a user.
class ScriptedRateDialog : public Tform_zaznam {
  public:
    using Tform_zaznam::Tform_zaznam;
    std::function<void(ScriptedRateDialog&)> on_exec;
    int exec() override {
        setResult(QDialog::Rejected);
        if (on_exec) on_exec(*this);
        return result();
    }
    QString typed(const char* name) { return findChild<QLineEdit*>(QLatin1String(name))->text(); }
    void type(const char* name, const QString& text) {
        findChild<QLineEdit*>(QLatin1String(name))->setText(text);
    }
    void ok() { findChild<QPushButton*>(QStringLiteral("tl_ok"))->click(); }
};

class MeasurementLogWindowTest : public MainWindowTest {
  protected:
    void SetUp() override {
        MainWindowTest::SetUp();
        device.data.live.MEAS = 21.456f;
        device.data.live.SP = 55.0f;
        device.data.live.YOUT = 123;
    }
    QString path(const QString& name) const { return dir.filePath(name); }
    QByteArray log_bytes() const { return window->log().file_bytes(); }
    // A new log whose file the user names in the Save as dialog.
    void new_log_saved_as(const QString& file) {
        prompts.answer_save(file);
        action("mn_novy")->trigger();
    }
    QByteArray data_line(const char* time, const char* measure = "21,46") const {
        return QByteArray(measure) + "; 55,00; 12,3; " + kNoFault + ";   " + time +
               ";   14.03.26\r\n";
    }
};

TEST_F(MeasurementLogWindowTest, NewFileWithOneSecondPeriodWritesHeaderAndOneDataLine) {
    create();
    const QString file = path(QStringLiteral("log.TXT"));
    new_log_saved_as(file);
    EXPECT_EQ(read_all(file), kHeader + data_line("9:26:53"));
    EXPECT_EQ(window->chart().point_count(), 0);
    EXPECT_EQ(window->sample_ticks(), 0);
    EXPECT_TRUE(window->log_file_chosen());
    EXPECT_TRUE(action("mn_novy")->isChecked());
    EXPECT_EQ(text("pa_path"), file);
}

TEST_F(MeasurementLogWindowTest, LongerPeriodLeavesTheHeaderAloneUnlessOneTickShort) {
    store_value("ZAZNAM", "LIST", QStringLiteral("2"));
    create();
    prompts.answer_save(std::nullopt);
    action("mn_novy")->trigger();
    EXPECT_EQ(log_bytes(), kHeader);

    // One tick of automatic reading leaves the sample counter one short of the period.
    check("check_auto")->click();
    tick();
    EXPECT_EQ(window->sample_ticks(), 1);
    prompts.answer_save(std::nullopt);
    action("mn_novy")->trigger();
    EXPECT_EQ(log_bytes(),
              QByteArray(kHeader).replace("9:26:53", "9:26:54") + data_line("9:26:54"));
}

TEST_F(MeasurementLogWindowTest, TwoSamplesSaveAsFiveLines) {
    create();
    const QString file = path(QStringLiteral("log.TXT"));
    new_log_saved_as(file);
    check("check_auto")->click();  // the trend was cleared: no question
    device.data.live.MEAS = -3.1f;
    device.data.live.FAULT = 1;
    tick();
    action("mn_ulozit")->trigger();  // the file is chosen: no dialog
    EXPECT_EQ(read_all(file), kHeader + data_line("9:26:53") +
                                  "-3,10; 55,00; 12,3; PORUCHA;   9:26:54;   14.03.26\r\n");
    EXPECT_EQ(window->log().line_count(), 5);
}

TEST_F(MeasurementLogWindowTest, AutomaticReadingWithoutANewLogHasNoHeader) {
    create();
    check("check_auto")->click();
    tick();
    tick();
    EXPECT_EQ(log_bytes(), data_line("9:26:54") + data_line("9:26:55"));
}

// A reading that got no answer logs the previous values with "bez odpovědi" in the fault
// column; lines of good readings keep their bytes.
TEST_F(MeasurementLogWindowTest, AReadingWithoutAnAnswerIsLoggedAsSuch) {
    create();
    check("check_auto")->click();
    tick();
    line.set_responder({});
    tick();
    line.set_responder(device.responder());
    tick();
    const QByteArray no_answer = QByteArray(
        "bez odpov"
        "\xEC"
        "di");
    EXPECT_EQ(log_bytes(), data_line("9:26:54") + "21,46; 55,00; 12,3; " + no_answer +
                               ";   9:26:55;   14.03.26\r\n" + data_line("9:26:56"));
}

TEST_F(MeasurementLogWindowTest, ReadNowAndDemoStepsWriteNoLogLine) {
    create();
    window->tl_precistClick();
    bus.wait_idle();
    check("check_demo")->setChecked(true);
    ticks(3);
    EXPECT_TRUE(log_bytes().isEmpty());
}

TEST_F(MeasurementLogWindowTest, FirstSaveAsksThenWritesWithoutAsking) {
    create();
    check("check_auto")->click();
    tick();
    const QString file = path(QStringLiteral("a.TXT"));
    prompts.answer_save(file);
    action("mn_ulozit")->trigger();
    EXPECT_EQ(prompts.last().file.title, QStringLiteral("Uložit jako"));
    EXPECT_EQ(prompts.last().file.file_name, QStringLiteral("Záznam Kelvra20"));
    EXPECT_FALSE(prompts.last().file.overwrite_prompt);
    EXPECT_EQ(read_all(file), data_line("9:26:54"));
    EXPECT_EQ(text("pa_path"), file);
    EXPECT_TRUE(action("mn_novy")->isChecked());

    tick();
    prompts.clear();
    action("mn_ulozit")->trigger();
    EXPECT_TRUE(prompts.empty());
    EXPECT_EQ(read_all(file), data_line("9:26:54") + data_line("9:26:55"));
}

TEST_F(MeasurementLogWindowTest, CheckingWritingAsksToClearThenAlwaysForTheName) {
    create();
    window->tl_precistClick();
    bus.wait_idle();
    prompts.answer_message(PromptAnswer::No);
    prompts.answer_save(std::nullopt);
    check("check_zapis")->click();
    ASSERT_EQ(prompts.records().size(), 2u);
    EXPECT_EQ(prompts.records()[0].text, QStringLiteral("Chceš vymazat naměřená data?"));
    EXPECT_EQ(prompts.records()[0].caption, QStringLiteral("Clear"));
    EXPECT_EQ(prompts.records()[0].icon, PromptIcon::Warning);
    EXPECT_EQ(prompts.records()[0].buttons, PromptButtons::YesNo);
    EXPECT_TRUE(prompts.records()[1].file.overwrite_prompt);
    EXPECT_TRUE(prompts.records()[1].file.hide_read_only);
    EXPECT_TRUE(log_bytes().isEmpty());  // No: no new log
    EXPECT_EQ(window->chart().point_count(), 1);
    EXPECT_TRUE(window->timer().isActive());

    prompts.clear();
    check("check_zapis")->click();  // unchecking does nothing more
    EXPECT_TRUE(prompts.empty());

    prompts.answer_message(PromptAnswer::Yes);
    prompts.answer_save(std::nullopt);
    check("check_zapis")->click();
    EXPECT_TRUE(log_bytes().startsWith(kHeader));
    EXPECT_EQ(window->chart().point_count(), 0);
}

TEST_F(MeasurementLogWindowTest, CancelledSaveAsStillLetsTheFileStepWriteToTheLastName) {
    store_value("ZAZNAM", "SOUBOR", QStringLiteral("1"));
    create();
    const QString file = path(QStringLiteral("a.TXT"));
    prompts.answer_save(file);
    action("mn_ulozitjako")->trigger();
    prompts.answer_message(PromptAnswer::No);
    prompts.answer_save(std::nullopt);
    check("check_zapis")->click();
    EXPECT_FALSE(window->log_file_chosen());
    EXPECT_FALSE(action("mn_novy")->isChecked());
    EXPECT_EQ(text("pa_path"), file);

    check("check_auto")->click();
    ticks(59);
    EXPECT_EQ(read_all(file), QByteArray());
    tick();
    EXPECT_EQ(window->file_ticks(), 0);
    EXPECT_EQ(window->log().line_count(), 60);
    EXPECT_EQ(read_all(file), log_bytes());
}

TEST_F(MeasurementLogWindowTest, FileStepWithoutAnyNameWritesTheDefaultNameInTheWorkingFolder) {
    store_value("ZAZNAM", "SOUBOR", QStringLiteral("1"));
    create();
    const QString saved = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(dir.path()));
    check("check_zapis")->setChecked(true);  // without its question and dialog
    check("check_auto")->click();
    ticks(60);
    QDir::setCurrent(saved);
    EXPECT_EQ(read_all(path(QStringLiteral("Záznam Kelvra20"))), log_bytes());
}

TEST_F(MeasurementLogWindowTest, FailedSaveAsKeepsBufferAndPanelAndRestartsTheTimer) {
    create();
    const QString good = path(QStringLiteral("a.TXT"));
    new_log_saved_as(good);
    const QByteArray before = log_bytes();
    QFile(path(QStringLiteral("plain"))).open(QIODevice::WriteOnly);

    prompts.answer_message(PromptAnswer::No);
    prompts.answer_save(path(QStringLiteral("plain/b.TXT")));
    check("check_zapis")->setChecked(true);
    EXPECT_THROW(window->check_zapisClick(), FileError);
    EXPECT_TRUE(window->timer().isActive());
    EXPECT_EQ(log_bytes(), before);
    EXPECT_EQ(text("pa_path"), good);
    EXPECT_FALSE(action("mn_novy")->isChecked());  // Save as cleared it before asking
    EXPECT_EQ(read_all(good), before);
}

TEST_F(MeasurementLogWindowTest, FailedFileStepTriesAgainAFullPeriodLater) {
    store_value("ZAZNAM", "SOUBOR", QStringLiteral("1"));
    create();
    QDir(dir.path()).mkdir(QStringLiteral("folder"));
    prompts.answer_save(path(QStringLiteral("folder")));  // a folder where the file should be
    EXPECT_THROW(window->mn_ulozitClick(), FileError);
    check("check_zapis")->setChecked(true);
    check("check_auto")->click();
    for (int period = 0; period < 2; ++period) {
        ticks(59);
        prompts.answer_message(PromptAnswer::Ok);
        tick();
        EXPECT_EQ(window->file_ticks(), 0);
        QCoreApplication::processEvents();
        EXPECT_EQ(prompts.messages().size(), static_cast<std::size_t>(period + 1));
    }
    EXPECT_TRUE(prompts.last().text.startsWith(QStringLiteral("Soubor ")));
    EXPECT_EQ(prompts.last().caption, QStringLiteral("TX-20"));
    EXPECT_EQ(prompts.last().icon, PromptIcon::Error);
}

// An unattended run must go on recording while the error waits for someone to read it.
TEST_F(MeasurementLogWindowTest, FailedFileStepKeepsMeasuringWhileItsBoxIsOpen) {
    store_value("ZAZNAM", "SOUBOR", QStringLiteral("1"));
    create();
    QDir(dir.path()).mkdir(QStringLiteral("folder"));
    prompts.answer_save(path(QStringLiteral("folder")));
    EXPECT_THROW(window->mn_ulozitClick(), FileError);
    check("check_zapis")->setChecked(true);
    check("check_auto")->click();
    ticks(60);  // the file step fails on the last one

    qsizetype lines = -1;
    int points = -1;
    prompts.answer_message(PromptAnswer::Ok);
    prompts.while_next_message_open([&] {
        const qsizetype lines_before = window->log().line_count();
        const int points_before = window->chart().point_count();
        ticks(10);
        lines = window->log().line_count() - lines_before;
        points = window->chart().point_count() - points_before;
        ticks(60);  // fails again behind the open box
        QCoreApplication::processEvents();
    });
    QCoreApplication::processEvents();
    EXPECT_EQ(lines, 10);
    EXPECT_EQ(points, 10);
    EXPECT_EQ(prompts.messages().size(), 1u);
    QCoreApplication::processEvents();
    EXPECT_EQ(prompts.messages().size(), 1u);

    // Once closed, the next failure is shown again.
    prompts.answer_message(PromptAnswer::Ok);
    ticks(60);
    QCoreApplication::processEvents();
    EXPECT_EQ(prompts.messages().size(), 2u);
}

#ifdef TX20_HAVE_FILE_SIZE_LIMIT
TEST_F(MeasurementLogWindowTest, FailedWriteOnExitKeepsFileBufferFlagAndStopsBeforeClosing) {
    Tkrt01& w = create();
    w.show();
    const QString file = path(QStringLiteral("a.TXT"));
    new_log_saved_as(file);
    const QByteArray previous = read_all(file);
    check("check_auto")->click();
    for (int i = 0; i < 100; ++i) tick();
    const QByteArray buffer = log_bytes();
    {
        FileSizeLimit limit(static_cast<rlim_t>(previous.size()) + 100);
        EXPECT_THROW(w.mn_exitClick(), FileError);
    }
    EXPECT_EQ(read_all(file), previous);
    EXPECT_EQ(log_bytes(), buffer);
    EXPECT_TRUE(w.log_file_chosen());
    EXPECT_EQ(text("pa_path"), file);
    EXPECT_TRUE(line.is_open());
    EXPECT_EQ(line.count(FakeLine::Op::Close), 0);
    EXPECT_TRUE(w.isVisible());

    w.mn_exitClick();  // writable again: saves, closes the line and the window
    EXPECT_EQ(read_all(file), buffer);
    EXPECT_FALSE(line.is_open());
    EXPECT_FALSE(w.isVisible());
}
#endif

TEST_F(MeasurementLogWindowTest, ExitStopsWhenTheNewlyChosenFileCannotBeWritten) {
    Tkrt01& w = create();
    w.show();
    QFile(path(QStringLiteral("plain"))).open(QIODevice::WriteOnly);
    prompts.answer_save(path(QStringLiteral("plain/a.TXT")));
    EXPECT_THROW(w.mn_exitClick(), FileError);
    EXPECT_TRUE(line.is_open());
    EXPECT_TRUE(w.isVisible());
    EXPECT_FALSE(w.log_file_chosen());
    EXPECT_EQ(text("pa_path"), QStringLiteral("c:"));
}

class RateDialogWindowTest : public MeasurementLogWindowTest {
  protected:
    ScriptedRateDialog& attach_dialog() {
        auto* d = new ScriptedRateDialog(prompts, window.get());
        Tkrt01::Dialogs dialogs = window->dialogs();
        dialogs.form_zaznam = d;
        window->set_dialogs(dialogs);
        return *d;
    }
};

TEST_F(RateDialogWindowTest, DialogIsFilledFromThePanelsAndOkTakesTheTextsAsTyped) {
    create();
    ScriptedRateDialog& d = attach_dialog();
    QStringList seen;
    d.on_exec = [&](ScriptedRateDialog& dlg) {
        seen << dlg.typed("ed_sample") << dlg.typed("ed_soubor")
             << QString::number(dlg.findChild<QRadioButton*>(QStringLiteral("rb_sec"))->isChecked())
             << QString::number(window->timer().isActive());
        dlg.type("ed_sample", QStringLiteral("05"));
        dlg.type("ed_soubor", QStringLiteral("030"));
        dlg.findChild<QRadioButton*>(QStringLiteral("rb_min"))->click();
        dlg.ok();
    };
    action("mn_rychlost_zaznamu")->trigger();
    EXPECT_EQ(seen, (QStringList{"1", "15", "1", "1"}));
    EXPECT_EQ(text("pa_zaznam"), QStringLiteral("05"));
    EXPECT_EQ(text("pa_soubor"), QStringLiteral("030"));
    EXPECT_EQ(text("pa_jednotky"), QStringLiteral("min"));
    EXPECT_EQ(window->list(), 5);
    EXPECT_EQ(window->soubor(), 30);
    EXPECT_EQ(window->jednotky(), 60);

    seen.clear();
    action("mn_rychlost_zaznamu")->trigger();  // refilled from the panels as shown
    EXPECT_EQ(seen, (QStringList{"05", "030", "0", "1"}));
}

TEST_F(RateDialogWindowTest, CancelChangesNothingAndOkDoesNotResetTheCounters) {
    create();
    ScriptedRateDialog& d = attach_dialog();
    d.on_exec = [](ScriptedRateDialog& dlg) { dlg.type("ed_sample", QStringLiteral("9")); };
    action("mn_rychlost_zaznamu")->trigger();
    EXPECT_EQ(text("pa_zaznam"), QStringLiteral("1"));
    EXPECT_EQ(window->list(), 1);

    check("check_zapis")->setChecked(true);
    check("check_auto")->click();
    ticks(3);
    EXPECT_EQ(window->file_ticks(), 3);
    d.on_exec = [](ScriptedRateDialog& dlg) {
        dlg.type("ed_sample", QStringLiteral("3"));
        dlg.ok();
    };
    action("mn_rychlost_zaznamu")->trigger();
    EXPECT_EQ(window->file_ticks(), 3);
    EXPECT_EQ(text("pa_jednotky"), QStringLiteral("s"));
    EXPECT_EQ(window->jednotky(), 1);
}

}  // namespace
