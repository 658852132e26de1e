#include "platform/atomic_file.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <functional>

#include "app/measurement_log.h"
#include "comm/Unit_hl.h"
#include "comm/bus_worker.h"
#include "ident/Unittabvstupu.h"
#include "params/catalogue.h"
#include "params/parameter_file.h"
#include "platform/errors.h"
#include "platform/private_profile.h"
#include "platform/settings_store.h"
#include "support/fake_line.h"
#include "support/scripted_prompts.h"

namespace {

QByteArray contents(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

struct FileKind {
    const char* name;
    // The message the user is shown starts with this, the file's name follows.
    const char* message_start;
    std::function<void(const QString& path)> write;
};

void write_log(const QString& path) {
    MeasurementLog log;
    log.start(QStringLiteral("9.12.2026"), QStringLiteral("6:00:00"));
    for (int i = 0; i < 200; ++i)
        log.append(QStringLiteral("12,5; 40,0; 33,0; 0;   6:00:%1").arg(i));
    log.write_file(path);
}

void write_parameter_file(const QString& path) {
    parameter_file::Contents c;
    for (const params::ParamDef& p : params::catalogue()) {
        parameter_file::ControlContent v;
        if (params::is_list(p.kind))
            v.position = 1;
        else
            v.text = QStringLiteral("7,5");
        c.insert(QLatin1String(p.control), v);
    }
    parameter_file::save(path, c);
}

void write_input_table(const QString& path) {
    FakeLine line;
    ScriptedPrompts prompts;
    DeviceData data;
    CommBuffer buffer;
    RequestLayer req(line, prompts, data, buffer);
    BusWorker bus(req, prompts);
    Ttab_vstupu dialog(bus, prompts);
    dialog.save_to(path);
}

const FileKind kKinds[] = {
    {"measurement log", "Soubor ", write_log},
    {"parameter file", "Unable to write to ", write_parameter_file},
    {"input table export", "Unable to write to ", write_input_table},
};

const AtomicFile::Fault kFaults[] = {AtomicFile::Fault::ShortWrite, AtomicFile::Fault::FailedFlush,
                                     AtomicFile::Fault::FailedCommit};
const char* const kFaultNames[] = {"", ", short write", ", failed flush", ", failed rename"};

// Every file the program writes, under a full disk and a refused rename: the user is
// told, and the file on disk is the one from before, byte for byte.
TEST(AtomicFileTest, AFailedWriteReportsAndLeavesThePreviousFileAsItWas) {
    for (const FileKind& kind : kKinds) {
        for (AtomicFile::Fault fault : kFaults) {
            SCOPED_TRACE(std::string(kind.name) + kFaultNames[static_cast<int>(fault)]);
            QTemporaryDir dir;
            const QString old_path = dir.filePath(QStringLiteral("old.txt"));
            const QString new_path = dir.filePath(QStringLiteral("new.txt"));
            kind.write(old_path);
            const QByteArray before = contents(old_path);
            ASSERT_FALSE(before.isEmpty());

            AtomicFile::InjectedFault injected(fault);
            for (const QString& path : {old_path, new_path}) {
                try {
                    kind.write(path);
                    ADD_FAILURE() << "no error reported for " << path.toStdString();
                } catch (const FileError& e) {
                    EXPECT_TRUE(e.message().startsWith(QLatin1String(kind.message_start)))
                        << e.message().toStdString();
                    EXPECT_TRUE(e.message().contains(QDir::toNativeSeparators(path)));
                }
            }
            EXPECT_EQ(contents(old_path), before);
            EXPECT_FALSE(QFile::exists(new_path));
            EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 1)
                << "a temporary file was left behind";
        }
    }
}

// The injected faults skip the rename; this one makes the real rename fail, so a
// writer that ignored its result would report a success here.
TEST(AtomicFileTest, ARealRenameThatFailsIsReported) {
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("gone"));
    ASSERT_TRUE(QDir().mkpath(folder));
    const QString path = folder + QStringLiteral("/f.txt");
    QString why;
    {
        const AtomicFile::BeforeCommit remove([folder] { QDir(folder).removeRecursively(); });
        EXPECT_FALSE(AtomicFile::write(path, {QByteArrayView("new")}, &why));
    }
    EXPECT_FALSE(why.isEmpty());
    EXPECT_FALSE(QFile::exists(path));
    ASSERT_TRUE(QDir().mkpath(folder));
    EXPECT_TRUE(AtomicFile::write(path, {QByteArrayView("new")}, &why));
}

TEST(AtomicFileTest, WritesThePiecesInOrderOverTheOldFile) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("f.ini"));
    QString reason;
    ASSERT_TRUE(AtomicFile::write(path, {QByteArrayView("old and long")}, &reason));
    ASSERT_TRUE(AtomicFile::write(
        path, {QByteArrayView("ab"), QByteArrayView(), QByteArrayView("c")}, &reason));
    EXPECT_EQ(contents(path), QByteArray("abc"));
}

}  // namespace

// The settings file as well: a save that fails says so and leaves the file as it was,
// and the next save, with room again, stores what is pending.
TEST(AtomicFileTest, AFailedSettingsSaveLeavesTheFileForTheNextSave) {
    for (AtomicFile::Fault fault : kFaults) {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("TavTx20.ini"));
        SettingsStore store(path);
        store.write_int(QStringLiteral("ADRESA"), QStringLiteral("DA"), 5);
        ASSERT_TRUE(store.sync());
        const QByteArray before = contents(path);
        store.write_int(QStringLiteral("ADRESA"), QStringLiteral("DA"), 6);
        {
            AtomicFile::InjectedFault injected(fault);
            EXPECT_FALSE(store.sync());
        }
        EXPECT_EQ(contents(path), before);
        EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 1);
        EXPECT_TRUE(store.sync());
        EXPECT_EQ(QSettings(path, QSettings::IniFormat).value(QStringLiteral("ADRESA/DA")),
                  QStringLiteral("6"));
    }
}
