#include "params/parameter_file.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include "params/catalogue.h"
#include "platform/errors.h"
#include "tests/params/print_qstring.h"

namespace {

class ParameterFileTest : public ::testing::Test {
  protected:
    QString path() const { return dir.filePath(QStringLiteral("Kelvra20.INI")); }
    void put(const QByteArray& bytes) const {
        QFile f(path());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    QByteArray bytes() const {
        QFile f(path());
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    // Contents where every control differs from its default.
    static parameter_file::Contents sample() {
        parameter_file::Contents c;
        int n = 0;
        for (const params::ParamDef& p : params::catalogue()) {
            parameter_file::ControlContent v;
            if (params::is_list(p.kind))
                v.position = p.entries.count - 1;
            else
                v.text = QStringLiteral("%1,5").arg(++n);
            c.insert(QLatin1String(p.control), v);
        }
        return c;
    }
    QTemporaryDir dir;
};

TEST_F(ParameterFileTest, SignatureIsTheFirstSixteenCharactersExactly) {
    struct Case {
        const char* version;  // nullptr: no IDENT section at all
        bool loads;
    } cases[] = {
        {nullptr, true},
        {"KELVRA20 [V.1.0]", true},
        {"KELVRA20 [V.1.0] navíc", true},
        {"  \"KELVRA20 [V.1.0]\"  ", true},
        {"", false},
        {"KELVRA20 [V.1.1]", false},
        {"kelvra20 [v.1.0]", false},
        {"KELVRA20", false},
    };
    for (const Case& c : cases) {
        QByteArray text = "[COMP]\r\nSP=5\r\n";
        if (c.version) text = "[IDENT]\r\nVERSION=" + QByteArray(c.version) + "\r\n" + text;
        put(text);
        EXPECT_EQ(parameter_file::load(path()).has_value(), c.loads)
            << (c.version ? c.version : "none");
    }
}

TEST_F(ParameterFileTest, MissingEntriesAndFilesLoadTheDefaults) {
    const auto c = parameter_file::load(dir.filePath(QStringLiteral("none.ini")));
    ASSERT_TRUE(c);
    EXPECT_EQ(c->size(), 35);
    EXPECT_FALSE(c->contains(QStringLiteral("cb_teac")));
    struct Case {
        const char* control;
        const char* text;
        int position;
    } cases[] = {
        {"ed_sp", "0", -1},   {"ed_sp_h", "100", -1}, {"ed_hyst1", "1", -1},
        {"ed_ti", "100", -1}, {"ed_dser", "60", -1},  {"ed_dead", "2", -1},
        {"ed_pass", "0", -1}, {"ed_adresa", "0", -1}, {"cb_feed", "", 3},
        {"cb_tpid", "", 4},   {"cb_sens", "", 4},     {"cb_dp", "", 1},
        {"cb_komp", "", 1},   {"cb_rala1", "", 0},    {"cb_level", "", 0},
    };
    for (const Case& k : cases) {
        const auto v = c->value(QLatin1String(k.control));
        EXPECT_EQ(v.text, QLatin1String(k.text)) << k.control;
        EXPECT_EQ(v.position, k.position) << k.control;
    }
}

TEST_F(ParameterFileTest, IntegerEntriesReadDecimalHexOrTheDefault) {
    put("[ALARM1]\r\nRALA=0x2\r\nRELE=-1\r\n[REGO]\r\nFEED=abc\r\nTPID=9\r\n");
    const auto c = parameter_file::load(path());
    ASSERT_TRUE(c);
    EXPECT_EQ(c->value(QStringLiteral("cb_rala1")).position, 2);
    EXPECT_EQ(c->value(QStringLiteral("cb_re1")).position, -1);
    EXPECT_EQ(c->value(QStringLiteral("cb_feed")).position, 3);
    EXPECT_EQ(c->value(QStringLiteral("cb_tpid")).position, 9);
}

TEST_F(ParameterFileTest, SaveWritesEveryEntryInOrder) {
    parameter_file::save(path(), sample());
    const QByteArray expected =
        "[IDENT]\r\nVERSION=KELVRA20 [V.1.0]\r\n"
        "[COMP]\r\nSP=1,5\r\nSP_L=2,5\r\nSP_H=3,5\r\n"
        "[ALARM1]\r\nRALA=3\r\nRELE=1\r\nSPLO=4,5\r\nSPHI=5,5\r\nHYST=6,5\r\n"
        "[PID]\r\nPB=7,5\r\nTI=8,5\r\nTD=9,5\r\nTUNE=1\r\n"
        "[REGO]\r\nFEED=3\r\nF2=16\r\nDSER=10,5\r\nDEAD=11,5\r\nTPID=9\r\n"
        "[SENS]\r\nSTRS=12,5\r\nENDS=13,5\r\nOFFS=14,5\r\nTYPE=14\r\nDP=2\r\nKOMP=4\r\n"
        "[DACO]\r\nAIN=1\r\nAOUT=3\r\nASTR=15,5\r\nAEND=16,5\r\n"
        "[ERRO]\r\nRE12=4\r\nRE-3=2\r\nYOUT=2\r\n"
        "[OSTAT]\r\nPASS=17,5\r\nFILT=8\r\nLOCK=1\r\nLEVEL=1\r\n"
        "[ADD]\r\nADRESA=18,5\r\n";
    EXPECT_EQ(bytes(), expected);
    const auto back = parameter_file::load(path());
    ASSERT_TRUE(back);
    for (auto it = back->cbegin(); it != back->cend(); ++it) {
        EXPECT_EQ(it.value().text, sample().value(it.key()).text) << it.key().toStdString();
        EXPECT_EQ(it.value().position, sample().value(it.key()).position) << it.key().toStdString();
    }
}

TEST_F(ParameterFileTest, SavingOverAFileKeepsItsOtherSectionsAndKeys) {
    put("[MOJE]\r\npozn\xE1mka=ponechat\r\n[COMP]\r\nSP=old\r\nEXTRA=1\r\n");
    parameter_file::save(path(), sample());
    const QByteArray b = bytes();
    EXPECT_TRUE(b.startsWith(
        "[MOJE]\r\npozn\xE1mka=ponechat\r\n[COMP]\r\nSP=1,5\r\nEXTRA=1\r\nSP_L=2,5\r\n"));
    EXPECT_EQ(b.count("[COMP]"), 1);
    EXPECT_TRUE(b.contains("[IDENT]\r\nVERSION=KELVRA20 [V.1.0]\r\n"));
}

TEST_F(ParameterFileTest, SaveToAReadOnlyFileFailsAndKeepsIt) {
    put("[COMP]\r\nSP=1\r\n");
    QFile::setPermissions(path(), QFileDevice::ReadOwner);
    EXPECT_THROW(parameter_file::save(path(), sample()), FileError);
    EXPECT_EQ(bytes(), QByteArray("[COMP]\r\nSP=1\r\n"));
    QFile::setPermissions(path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner);
}

TEST_F(ParameterFileTest, DialogsAskAsTheyShould) {
    const FileDialogRequest s = parameter_file::save_request();
    EXPECT_EQ(s.file_name, QStringLiteral("Kelvra20"));
    EXPECT_EQ(s.default_suffix, QStringLiteral("INI"));
    EXPECT_EQ(s.filters, QStringList{QStringLiteral("Parametry regulátoru[*.ini] (*.ini)")});
    EXPECT_TRUE(s.overwrite_prompt);
    EXPECT_TRUE(s.hide_read_only);
    const FileDialogRequest o = parameter_file::open_request();
    EXPECT_EQ(o.file_name, QStringLiteral("Kelvra20"));
    EXPECT_EQ(o.filters, QStringList{QStringLiteral("Parametry regulátoru [*.ini] (*.ini)")});
    EXPECT_FALSE(o.file_must_exist);
    EXPECT_TRUE(o.hide_read_only);
}

}  // namespace
