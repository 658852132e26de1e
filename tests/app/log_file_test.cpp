#include "app/log_file.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "app/file_write_failure.h"
#include "app/measurement_log.h"
#include "platform/errors.h"
#include "support/scripted_prompts.h"

namespace {

QByteArray read_all(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return QByteArray("<unreadable>");
    return f.readAll();
}

class LogFileTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        log.append(QStringLiteral("první"));
    }
    QString path(const QString& name) const { return dir.filePath(name); }

    QTemporaryDir dir;
    MeasurementLog log;
    LogFile file{log};
    ScriptedPrompts prompts;
};

TEST_F(LogFileTest, StartsWithTheDefaultNameAndNothingChosen) {
    EXPECT_FALSE(file.chosen());
    EXPECT_EQ(file.shown_path(), QStringLiteral("c:"));
    EXPECT_EQ(file.file_name(), QStringLiteral("Záznam Kelvra20"));
}

TEST_F(LogFileTest, FirstSaveAsksWithThePlainDialogThenWritesAndRemembers) {
    const QString target = path(QStringLiteral("a.TXT"));
    prompts.answer_save(target);
    file.save(prompts);

    ASSERT_EQ(prompts.records().size(), 1u);
    const FileDialogRequest& r = prompts.last().file;
    EXPECT_EQ(r.title, QStringLiteral("Uložit jako"));
    EXPECT_EQ(r.file_name, QStringLiteral("Záznam Kelvra20"));
    EXPECT_EQ(r.default_suffix, QStringLiteral("TXT"));
    EXPECT_EQ(r.filters, QStringList{QStringLiteral("Textový soubor [*.txt] (*.txt)")});
    EXPECT_FALSE(r.overwrite_prompt);
    EXPECT_FALSE(r.hide_read_only);

    EXPECT_EQ(read_all(target), QByteArray("prvn\xED\r\n"));
    EXPECT_TRUE(file.chosen());
    EXPECT_EQ(file.shown_path(), target);
    EXPECT_EQ(file.file_name(), target);

    log.append(QStringLiteral("druhý"));
    file.save(prompts);  // no dialog this time
    EXPECT_EQ(prompts.records().size(), 1u);
    EXPECT_EQ(read_all(target), QByteArray("prvn\xED\r\ndruh\xFD\r\n"));
}

TEST_F(LogFileTest, CancelledSaveWritesNothing) {
    prompts.answer_save(std::nullopt);
    file.save(prompts);
    EXPECT_FALSE(file.chosen());
    EXPECT_EQ(file.shown_path(), QStringLiteral("c:"));
    EXPECT_TRUE(QDir(dir.path()).isEmpty());
}

TEST_F(LogFileTest, SaveAsTurnsItsOptionsOnForGood) {
    prompts.answer_save(path(QStringLiteral("a.TXT")));
    file.save_as(prompts);
    EXPECT_TRUE(prompts.last().file.overwrite_prompt);
    EXPECT_TRUE(prompts.last().file.hide_read_only);
    EXPECT_EQ(prompts.last().file.title, QStringLiteral("Uložit jako"));

    prompts.answer_save(path(QStringLiteral("b.TXT")));
    file.save_as(prompts);
    prompts.answer_save(std::nullopt);
    file.save_as(prompts);
    EXPECT_FALSE(file.chosen());
    prompts.answer_save(std::nullopt);
    file.save(prompts);  // flag cleared: asks again, with the options still on
    EXPECT_TRUE(prompts.last().file.overwrite_prompt);
    EXPECT_TRUE(prompts.last().file.hide_read_only);
    EXPECT_EQ(prompts.last().file.file_name, path(QStringLiteral("b.TXT")));
}

TEST_F(LogFileTest, CancelledSaveAsLeavesTheLastNameForThePeriodicWrite) {
    const QString target = path(QStringLiteral("a.TXT"));
    prompts.answer_save(target);
    file.save_as(prompts);
    prompts.answer_save(std::nullopt);
    file.save_as(prompts);
    EXPECT_FALSE(file.chosen());
    EXPECT_EQ(file.shown_path(), target);

    log.append(QStringLiteral("x"));
    file.write();
    EXPECT_EQ(read_all(target), QByteArray("prvn\xED\r\nx\r\n"));
}

TEST_F(LogFileTest, PeriodicWriteWithoutAChosenNameGoesToTheWorkingFolder) {
    const QString saved = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(dir.path()));
    file.write();
    QDir::setCurrent(saved);
    EXPECT_EQ(read_all(path(QStringLiteral("Záznam Kelvra20"))), QByteArray("prvn\xED\r\n"));
}

TEST_F(LogFileTest, FailedSaveKeepsFlagAndShownPath) {
    const QString good = path(QStringLiteral("a.TXT"));
    prompts.answer_save(good);
    file.save(prompts);

    QFile blocker(path(QStringLiteral("plain")));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    const QString bad = path(QStringLiteral("plain/b.TXT"));
    prompts.answer_save(bad);
    EXPECT_THROW(file.save_as(prompts), FileError);
    EXPECT_FALSE(file.chosen());  // cleared by Save as before the dialog
    EXPECT_EQ(file.shown_path(), good);
    EXPECT_EQ(file.file_name(), bad);  // the dialog holds what the user confirmed
    EXPECT_EQ(read_all(good), QByteArray("prvn\xED\r\n"));
}

#ifdef TX20_HAVE_FILE_SIZE_LIMIT
TEST_F(LogFileTest, FailedWriteToTheChosenFileKeepsItsPreviousContent) {
    const QString target = path(QStringLiteral("a.TXT"));
    prompts.answer_save(target);
    file.save(prompts);
    for (int i = 0; i < 2000; ++i) log.append(QStringLiteral("řádek %1").arg(i));
    {
        FileSizeLimit limit(1024);
        EXPECT_THROW(file.save(prompts), FileError);
    }
    EXPECT_TRUE(file.chosen());
    EXPECT_EQ(read_all(target), QByteArray("prvn\xED\r\n"));
}
#endif

}  // namespace
