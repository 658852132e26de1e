#include "platform/private_profile.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include "platform/errors.h"

namespace {

class PrivateProfileTest : public ::testing::Test {
  protected:
    QString path(const char* name = "p.ini") const { return dir.filePath(QLatin1String(name)); }
    void put(const QByteArray& bytes, const char* name = "p.ini") const {
        QFile f(path(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    QByteArray bytes(const char* name = "p.ini") const {
        QFile f(path(name));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    QString read(const char* section, const char* key, const char* def = "def") const {
        return PrivateProfile::read_string(path(), QLatin1String(section), QLatin1String(key),
                                           QLatin1String(def));
    }
    QTemporaryDir dir;
};

TEST_F(PrivateProfileTest, ReadsValuesByTheFormsRules) {
    put("; comment\r\n"
        "top=outside any section\r\n"
        "  [Comp]  \r\n"
        "  sp  =  25,00  \r\n"
        "quoted=\"  a b  \"\r\n"
        "single='x'\r\n"
        "mixed=\"x'\r\n"
        "lonely=\"\r\n"
        "empty=\r\n"
        "sp=second one is ignored\r\n"
        "[other]\n"
        "sp=7\n"
        "[COMP]\r\n"
        "late=in a repeated section\r\n");
    struct Case {
        const char* section;
        const char* key;
        const char* expected;
    } cases[] = {
        {"COMP", "SP", "25,00"},  // names match regardless of case, blanks trimmed
        {"comp", "Sp", "25,00"},
        {"COMP", "quoted", "  a b  "},  // quotes stripped, blanks inside kept
        {"COMP", "single", "x"},
        {"COMP", "mixed", "\"x'"},  // no matching pair: kept as it is
        {"COMP", "lonely", "\""},
        {"COMP", "empty", ""},
        {"OTHER", "sp", "7"},     // LF-only lines read too
        {"COMP", "late", "def"},  // only the first section of a name counts
        {"COMP", "missing", "def"},
        {"MISSING", "sp", "def"},
        {"", "top", "def"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(read(c.section, c.key), QString::fromUtf8(c.expected))
            << c.section << "/" << c.key;
}

TEST_F(PrivateProfileTest, MissingFileGivesTheDefaults) {
    EXPECT_EQ(read("COMP", "SP", "100"), QStringLiteral("100"));
    EXPECT_EQ(PrivateProfile::read_int(path(), "A", "B", -7), -7);
}

TEST_F(PrivateProfileTest, ValuesAreCutTo2047Characters) {
    put("[S]\r\nk=" + QByteArray(3000, 'x') + "\r\n");
    EXPECT_EQ(read("S", "k").size(), 2047);
}

TEST_F(PrivateProfileTest, IntegersAreDecimalOrHexadecimal) {
    put("[S]\r\n"
        "dec=42\r\nneg=-1\r\nplus=+5\r\nhex=0x2\r\nupper=0X1f\r\nfull=0xFFFFFFFF\r\n"
        "word=abc\r\ntrail=12abc\r\nbarehex=0x\r\nlonghex=0x123456789\r\nbig=2147483648\r\n"
        "spaced=  17  \r\nfrac=1.5\r\nquoted=\"9\"\r\n");
    struct Case {
        const char* key;
        qint32 expected;
    } cases[] = {
        {"dec", 42},  {"neg", -1},    {"plus", 5},   {"hex", 2},      {"upper", 31},
        {"full", -1}, {"word", 99},   {"trail", 99}, {"barehex", 99}, {"longhex", 99},
        {"big", 99},  {"spaced", 17}, {"frac", 99},  {"quoted", 9},   {"missing", 99},
    };
    for (const Case& c : cases)
        EXPECT_EQ(PrivateProfile::read_int(path(), "S", QLatin1String(c.key), 99), c.expected)
            << c.key;
}

TEST_F(PrivateProfileTest, WriteReplacesAKeyWhereItStandsAndKeepsTheRest) {
    put("; header comment\n[A]\nx=1\nKey=old\ny=2\n\n[B]\nz=3\n");
    PrivateProfile::write_string(path(), "a", "KEY", "new");
    EXPECT_EQ(bytes(),
              QByteArray("; header comment\r\n[A]\r\nx=1\r\nKey=new\r\ny=2\r\n\r\n[B]\r\nz=3\r\n"));
}

TEST_F(PrivateProfileTest, NewKeyGoesToTheEndOfItsSectionAndNewSectionToTheEnd) {
    put("[A]\r\nx=1\r\n\r\n[B]\r\nz=3");
    PrivateProfile p(path());
    p.set_string("A", "added", "v");
    p.set_integer("C", "n", -1);
    p.set_string("C", "m", "w");
    p.commit();
    EXPECT_EQ(bytes(),
              QByteArray("[A]\r\nx=1\r\nadded=v\r\n\r\n[B]\r\nz=3\r\n[C]\r\nn=-1\r\nm=w\r\n"));
}

TEST_F(PrivateProfileTest, WriteCreatesTheFile) {
    PrivateProfile::write_int(path(), "S", "k", 5);
    EXPECT_EQ(bytes(), QByteArray("[S]\r\nk=5\r\n"));
}

TEST_F(PrivateProfileTest, ValuesStayOnTheirLine) {
    PrivateProfile::write_string(path(), "S", "k", "a\r\nb");
    EXPECT_EQ(read("S", "k"), QStringLiteral("a  b"));
}

TEST_F(PrivateProfileTest, ValuesReadBackAsWritten) {
    // Blanks round a value and a pair of quotes round it would be lost on reading.
    struct Case {
        const char* value;
        const char* line;
    } cases[] = {
        {"25,00", "k=25,00"}, {"", "k="},
        {"a b", "k=a b"},     {"\"x", "k=\"x"},
        {"\"", "k=\""},       {"  25,00 ", "k=\"  25,00 \""},
        {"\t1", "k=\"\t1\""}, {"\"x\"", "k=\"\"x\"\""},
        {"'x'", "k=\"'x'\""}, {"\"\"", "k=\"\"\"\""},
    };
    for (const Case& c : cases) {
        PrivateProfile p = PrivateProfile::from_bytes("[S]\r\n");
        p.set_string("S", "k", QString::fromUtf8(c.value));
        EXPECT_EQ(p.bytes(), QByteArray("[S]\r\n") + c.line + "\r\n") << c.value;
        EXPECT_EQ(PrivateProfile::from_bytes(p.bytes()).string("S", "k", "def"),
                  QString::fromUtf8(c.value))
            << c.value;
    }
}

TEST_F(PrivateProfileTest, TextIsWindows1250) {
    // "č" is 0xE8, "ř" 0xF8, "Š" 0x8A in the Czech code page.
    PrivateProfile::write_string(path(), "Sekce", "klíč", "řeč Šíp °");
    EXPECT_EQ(bytes(), QByteArray("[Sekce]\r\nkl\xED\xE8=\xF8"
                                  "e\xE8 \x8A\xED"
                                  "p \xB0\r\n"));
    EXPECT_EQ(PrivateProfile::read_string(path(), "SEKCE", "KLÍČ", QString()),
              QStringLiteral("řeč Šíp °"));
    // What the code page cannot hold becomes a question mark.
    PrivateProfile::write_string(path(), "Sekce", "x", QStringLiteral("\u4E2D"));
    EXPECT_EQ(read("Sekce", "x"), QStringLiteral("?"));
}

TEST_F(PrivateProfileTest, EveryByteSurvivesAReadAndAWrite) {
    QByteArray all("[S]\r\nk=");
    for (int b = 0x20; b < 0x100; ++b)
        if (b != '\r' && b != '\n') all.append(static_cast<char>(b));
    all.append("\r\n");
    put(all);
    PrivateProfile::write_string(path(), "S", "other", "1");
    EXPECT_TRUE(bytes().startsWith(all));
}

TEST_F(PrivateProfileTest, FailedWriteNamesTheFileAndKeepsIt) {
    put("[S]\r\nk=1\r\n");
    QFile::setPermissions(path(), QFileDevice::ReadOwner);
    try {
        PrivateProfile::write_string(path(), "S", "k", "2");
        FAIL() << "no error";
    } catch (const FileError& e) {
        EXPECT_TRUE(e.message().startsWith(QStringLiteral("Unable to write to ")));
        EXPECT_TRUE(e.message().endsWith(QStringLiteral("p.ini")));
    }
    EXPECT_EQ(bytes(), QByteArray("[S]\r\nk=1\r\n"));
    QFile::setPermissions(path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner);
}

TEST_F(PrivateProfileTest, WriteIntoAMissingFolderOrOverAFolderFails) {
    EXPECT_THROW(
        PrivateProfile::write_string(dir.filePath(QStringLiteral("no/such/p.ini")), "S", "k", "v"),
        FileError);
    EXPECT_THROW(PrivateProfile::write_string(dir.path(), "S", "k", "v"), FileError);
}

}  // namespace
