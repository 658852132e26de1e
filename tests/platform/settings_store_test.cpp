#include "platform/settings_store.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <limits>

namespace {

class SettingsStoreTest : public ::testing::Test {
  protected:
    QString path() const { return dir.filePath(QStringLiteral("TavTx20.ini")); }

    QString file_text() const {
        QFile f(path());
        return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
    }

    void write_file(const QByteArray& text) const {
        QFile f(path());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(text);
    }

    QTemporaryDir dir;
};

TEST_F(SettingsStoreTest, WritesSignedDecimalTextsInOneSectionPerSubkey) {
    {
        SettingsStore s(path());
        s.write_int(QStringLiteral("GRAF"), QStringLiteral("MRIZ"), qint32(0x8000000F));
        s.write_int(QStringLiteral("GRAF"), QStringLiteral("PERO"), 255);
        s.write_int(QStringLiteral("DESKTOP"), QStringLiteral("Left"), -5);
    }
    const QString text = file_text();
    EXPECT_TRUE(text.contains(QStringLiteral("[GRAF]\nMRIZ=-2147483633\nPERO=255\n")))
        << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("[DESKTOP]\nLeft=-5\n"))) << text.toStdString();
    EXPECT_FALSE(text.contains(QLatin1Char('"')));
    EXPECT_FALSE(text.contains(QLatin1Char('@')));
}

TEST_F(SettingsStoreTest, IntegersReadBackAcrossTheWholeRange) {
    const qint32 values[] = {0,
                             1,
                             -1,
                             255,
                             qint32(0x8000000F),
                             std::numeric_limits<qint32>::min(),
                             std::numeric_limits<qint32>::max()};
    {
        SettingsStore s(path());
        for (qint32 v : values) s.write_int(QStringLiteral("T"), QString::number(v), v);
    }
    SettingsStore s(path());
    for (qint32 v : values)
        EXPECT_EQ(s.read_int(QStringLiteral("T"), QString::number(v), 7), v) << v;
}

TEST_F(SettingsStoreTest, TextsThatAreNotA32BitIntegerGiveTheDefault) {
    write_file(
        "[GRAF]\n"
        "a=12abc\n"
        "b=\n"
        "c=abc\n"
        "d=2147483648\n"
        "e=-2147483649\n"
        "f=99999999999999999999\n"
        "g=1.5\n"
        "h=0x10\n"
        "i=1e3\n"
        "j=1, 2\n"
        "k=\"\"\n"
        "l=@Variant(\\0\\0\\0\\x2\\0\\0\\0\\x5)\n");
    SettingsStore s(path());
    for (const char* name : {"a", "b", "c", "d", "e", "f", "g", "h", "i", "j", "k", "l"})
        EXPECT_EQ(s.read_int(QStringLiteral("GRAF"), QString::fromLatin1(name), 200), 200) << name;
}

TEST_F(SettingsStoreTest, HandEditedIntegersAreRead) {
    write_file("[GRAF]\nPOCET = 500 \nR3D=\"35\"\nPERO=-0\nMRIZ=+12\n");
    SettingsStore s(path());
    EXPECT_EQ(s.read_int(QStringLiteral("GRAF"), QStringLiteral("POCET"), 200), 500);
    EXPECT_EQ(s.read_int(QStringLiteral("GRAF"), QStringLiteral("R3D"), 0), 35);
    EXPECT_EQ(s.read_int(QStringLiteral("GRAF"), QStringLiteral("PERO"), 1), 0);
    EXPECT_EQ(s.read_int(QStringLiteral("GRAF"), QStringLiteral("MRIZ"), 0), 12);
}

TEST_F(SettingsStoreTest, MissingStoreSectionOrValueGivesTheDefaultAndCreatesNothing) {
    {
        SettingsStore s(path());
        EXPECT_EQ(s.read_int(QStringLiteral("GRAF"), QStringLiteral("POCET"), 200), 200);
        EXPECT_EQ(s.read_string(QStringLiteral("X"), QStringLiteral("Y"), QStringLiteral("d")),
                  QStringLiteral("d"));
    }
    EXPECT_FALSE(QFile::exists(path()));

    write_file("[GRAF]\nPERO=1\n");
    SettingsStore s(path());
    EXPECT_EQ(s.read_int(QStringLiteral("GRAF"), QStringLiteral("POCET"), 200), 200);
    EXPECT_EQ(s.read_int(QStringLiteral("ZAZNAM"), QStringLiteral("LIST"), 1), 1);
}

TEST_F(SettingsStoreTest, FirstWriteCreatesTheFolderFileAndSection) {
    const QString nested = dir.filePath(QStringLiteral("a/b/TavTx20.ini"));
    {
        SettingsStore s(nested);
        s.write_int(QStringLiteral("PORT"), QStringLiteral("COM"), 1);
    }
    QFile f(nested);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), QByteArray("[PORT]\nCOM=1\n"));
}

TEST_F(SettingsStoreTest, SyncTellsWhetherTheValuesWereStored) {
    SettingsStore good(path());
    good.write_int(QStringLiteral("PORT"), QStringLiteral("COM"), 2);
    EXPECT_TRUE(good.sync());

    SettingsStore folder(dir.path());  // a folder cannot be replaced by the file
    folder.write_int(QStringLiteral("PORT"), QStringLiteral("COM"), 2);
    EXPECT_FALSE(folder.sync());
}

TEST_F(SettingsStoreTest, MalformedFileKeepsItsReadableValuesWhenRewritten) {
    write_file("garbage\n[GRAF\nPERO=5\n[ZAZNAM]\nLIST=3\n");
    {
        SettingsStore s(path());
        EXPECT_EQ(s.read_int(QStringLiteral("GRAF"), QStringLiteral("PERO"), 255), 5);
        s.write_int(QStringLiteral("ZAZNAM"), QStringLiteral("SOUBOR"), 15);
        EXPECT_TRUE(s.sync());
    }
    SettingsStore s(path());
    EXPECT_EQ(s.read_int(QStringLiteral("GRAF"), QStringLiteral("PERO"), 255), 5);
    EXPECT_EQ(s.read_int(QStringLiteral("ZAZNAM"), QStringLiteral("LIST"), 1), 3);
    EXPECT_EQ(s.read_int(QStringLiteral("ZAZNAM"), QStringLiteral("SOUBOR"), 1), 15);
}

TEST_F(SettingsStoreTest, ReopenedStoreSeesEarlierWrites) {
    SettingsStore first(path());
    first.write_int(QStringLiteral("ADRESA"), QStringLiteral("DA"), 17);
    {
        // Opened while the first store still holds the write unsynced.
        SettingsStore second(path());
        EXPECT_EQ(second.read_int(QStringLiteral("ADRESA"), QStringLiteral("DA"), 0), 17);
        second.write_int(QStringLiteral("ADRESA"), QStringLiteral("SA"), 3);
    }
    EXPECT_EQ(first.read_int(QStringLiteral("ADRESA"), QStringLiteral("SA"), 0), 3);
    first.write_int(QStringLiteral("ADRESA"), QStringLiteral("DA"), 18);
    first.sync();
    SettingsStore third(path());
    EXPECT_EQ(third.read_int(QStringLiteral("ADRESA"), QStringLiteral("DA"), 0), 18);
    EXPECT_EQ(third.read_int(QStringLiteral("ADRESA"), QStringLiteral("SA"), 0), 3);
}

TEST_F(SettingsStoreTest, StringsReadBackAsWritten) {
    const QString texts[] = {
        QStringLiteral("/dev/ttyUSB0"), QStringLiteral("a, b"),
        QStringLiteral("  padded  "),   QStringLiteral("@Variant(x)"),
        QStringLiteral("C:\\log\\a"),   QStringLiteral("žluťoučký kůň"),
        QStringLiteral("x;y=z"),        QStringLiteral(""),
        QStringLiteral("\"q\""),        QStringLiteral("12"),
    };
    {
        SettingsStore s(path());
        int i = 0;
        for (const QString& t : texts) s.write_string(QStringLiteral("S"), QString::number(i++), t);
    }
    SettingsStore s(path());
    int i = 0;
    for (const QString& t : texts)
        EXPECT_EQ(s.read_string(QStringLiteral("S"), QString::number(i++), QStringLiteral("?")), t)
            << t.toStdString();
    EXPECT_EQ(s.read_int(QStringLiteral("S"), QStringLiteral("1"), 5), 5);   // "a, b"
    EXPECT_EQ(s.read_int(QStringLiteral("S"), QStringLiteral("9"), 5), 12);  // "12"
}

TEST_F(SettingsStoreTest, PortNamesMapToSerialDevicesUnlessMappedElsewhere) {
#ifdef Q_OS_WIN
    SettingsStore s(path());
    EXPECT_EQ(s.port_device(QStringLiteral("COM3")), QStringLiteral("COM3"));
#else
    SettingsStore s(path());
    EXPECT_EQ(s.port_device(QStringLiteral("COM1")), QStringLiteral("/dev/ttyS0"));
    EXPECT_EQ(s.port_device(QStringLiteral("COM8")), QStringLiteral("/dev/ttyS7"));
    s.write_string(QStringLiteral("PORTMAP"), QStringLiteral("COM1"), QStringLiteral("/dev/pts/4"));
    EXPECT_EQ(s.port_device(QStringLiteral("COM1")), QStringLiteral("/dev/pts/4"));
    EXPECT_EQ(s.port_device(QStringLiteral("COM2")), QStringLiteral("/dev/ttyS1"));
#endif
}

#ifndef Q_OS_WIN
TEST_F(SettingsStoreTest, UserStoreIsTavTx20IniInTheConfigFolder) {
    const QByteArray saved = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", dir.path().toLocal8Bit());
    {
        SettingsStore s;
        s.write_int(QStringLiteral("ZAZNAM"), QStringLiteral("SOUBOR"), 15);
    }
    if (saved.isNull())
        qunsetenv("XDG_CONFIG_HOME");
    else
        qputenv("XDG_CONFIG_HOME", saved);
    EXPECT_TRUE(file_text().contains(QStringLiteral("[ZAZNAM]\nSOUBOR=15\n")));
}
#endif

#ifndef Q_OS_WIN
// Mapping a port edits only its own entry: comments, foreign lines, other sections,
// their order and line ends stay byte for byte.
TEST_F(SettingsStoreTest, PortMapEditsKeepEveryOtherByte) {
    struct Case {
        const char* what;
        QByteArray before;
        const char* com;
        const char* device;  // empty unmaps
        QByteArray after;
    };
    const QByteArray foreign =
        "; kept by hand\n[PORT]\nCOM=3\n\n[PORTMAP]\nCOM1=/dev/ttyS0\n# note\nCOM2 = /dev/old\n"
        "\n[zzz]\nb=2\na=1\n";
    const Case cases[] = {
        {"replaces the entry in place", foreign, "COM2", "/dev/ttyUSB0",
         "; kept by hand\n[PORT]\nCOM=3\n\n[PORTMAP]\nCOM1=/dev/ttyS0\n# note\nCOM2=/dev/ttyUSB0\n"
         "\n[zzz]\nb=2\na=1\n"},
        {"adds after the section's last line", foreign, "COM5", "/dev/ttyACM0",
         "; kept by hand\n[PORT]\nCOM=3\n\n[PORTMAP]\nCOM1=/dev/ttyS0\n# note\nCOM2 = /dev/old\n"
         "COM5=/dev/ttyACM0\n\n[zzz]\nb=2\na=1\n"},
        {"unmaps", foreign, "COM1", "",
         "; kept by hand\n[PORT]\nCOM=3\n\n[PORTMAP]\n# note\nCOM2 = "
         "/dev/old\n\n[zzz]\nb=2\na=1\n"},
        {"unmapping what is not mapped changes nothing", foreign, "COM7", "", foreign},
        {"keeps CR LF and drops a later duplicate",
         "[PORTMAP]\r\nCOM3=/a\r\n[X]\r\nk=v\r\n[PORTMAP]\r\nCOM3=/b\r\n", "COM3", "/dev/c",
         "[PORTMAP]\r\nCOM3=/dev/c\r\n[X]\r\nk=v\r\n[PORTMAP]\r\n"},
        {"adds the section to a file without a final line end", "[GRAF]\nPERO=255", "COM1",
         "/dev/ttyUSB1", "[GRAF]\nPERO=255\n\n[PORTMAP]\nCOM1=/dev/ttyUSB1\n"},
        {"creates the file", "", "COM8", "/dev/ttyUSB2", "[PORTMAP]\nCOM8=/dev/ttyUSB2\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        QFile::remove(path());
        if (!c.before.isEmpty()) write_file(c.before);
        QString error;
        {
            SettingsStore s(path());
            ASSERT_TRUE(s.set_port_device(QLatin1String(c.com), QLatin1String(c.device), &error))
                << error.toStdString();
            const QString expected = *c.device ? QLatin1String(c.device) : QString();
            if (!expected.isEmpty()) {
                EXPECT_EQ(s.port_device(QLatin1String(c.com)), expected);
            }
        }
        EXPECT_EQ(file_text().toUtf8(), c.after);
        EXPECT_FALSE(QFile::exists(path() + QStringLiteral(".lock")));
    }
}

TEST_F(SettingsStoreTest, MappedPathsWithAwkwardCharactersReadBackAsGiven) {
    const QString awkward[] = {QStringLiteral("/dev/serial/by-id/usb-A,B;C=D-if00"),
                               QStringLiteral("/tmp/with space/ttyš"),
                               QStringLiteral("@/dev/x\"y\"")};
    for (const QString& device : awkward) {
        QString error;
        ASSERT_TRUE(SettingsStore(path()).set_port_device(QStringLiteral("COM4"), device, &error));
        EXPECT_EQ(SettingsStore(path()).port_device(QStringLiteral("COM4")), device);
    }
}

TEST_F(SettingsStoreTest, PortMapIntoAFolderFailsWithAReason) {
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("TavTx20.ini")));
    SettingsStore s(path());
    QString error;
    EXPECT_FALSE(s.set_port_device(QStringLiteral("COM1"), QStringLiteral("/dev/x"), &error));
    EXPECT_TRUE(error.contains(path())) << error.toStdString();
}
#endif

}  // namespace
