#include "params/catalogue.h"

#include <gtest/gtest.h>

#include <QSet>
#include <limits>

#include "params/value_check.h"
#include "tests/params/print_qstring.h"

using namespace params;

namespace {

const QLocale kComma(QLocale::Czech, QLocale::Czechia);
const QLocale kPoint = QLocale::c();

const ParamDef& param(const char* control) {
    const ParamDef* p = find_control(QLatin1String(control));
    if (!p) throw std::runtime_error(control);
    return *p;
}

QString mnemonics(int tab) {
    QStringList out;
    for (const ParamDef* p : tab_params(tab)) out << QLatin1String(p->mnemonic);
    return out.join(QLatin1Char(' '));
}

TEST(Catalogue, TabsCarryTheirTablesAndParametersInDisplayOrder) {
    struct Case {
        const char* caption;
        TableId table;
        const char* section;
        const char* shown;
    } cases[] = {
        {"COMP", TableId::TAB_COMP, "COMP", "SP SP_L SP_H"},
        {"ALARM 1", TableId::TAB_ALARM1, "ALARM1", "RALA RELE SPLO SPHI HYST"},
        {"PID", TableId::TAB_PID, "PID", "PB INT DER TUNE"},
        {"REGO", TableId::TAB_REGO, "REGO", "FEED DSER DEAD F2 TPID TEAC"},
        {"SENS", TableId::TAB_SENS, "SENS", "TYPE DP STRS ENDS OFFS COMP"},
        {"DACO", TableId::TAB_DACO, "DACO", "A-IN A-OUT ASTR AEND"},
        {"ERRO", TableId::TAB_ERRO, "ERRO", "RE12 RE-3 YOUT"},
        {"OST_", TableId::TAB_OST, "OSTAT", "FILT PASS LOCK LEVL"},
        {"ADD", TableId::TAB_ADD, "ADD", ""},
    };
    ASSERT_EQ(catalogue().size(), 36u);
    for (int i = 0; i < kTabCount; ++i) {
        EXPECT_STREQ(tab(i).caption, cases[i].caption);
        EXPECT_EQ(tab(i).table, cases[i].table) << i;
        EXPECT_STREQ(tab(i).ini_section, cases[i].section);
        EXPECT_EQ(mnemonics(i), QLatin1String(cases[i].shown)) << i;
    }
}

TEST(Catalogue, EveryParameterHasItsOwnControlAndField) {
    QSet<QString> controls;
    QSet<const void*> fields;
    DeviceData d;
    for (const ParamDef& p : catalogue()) {
        controls.insert(QLatin1String(p.control));
        const FieldRef f = p.field(d);
        fields.insert(f.real  ? static_cast<const void*>(f.real)
                      : f.i32 ? static_cast<const void*>(f.i32)
                              : f.i8);
        // Fields held in 32 bits are lists or whole numbers of 32 bits; reals are floats.
        EXPECT_EQ(f.real != nullptr, p.kind == ValueKind::Real) << p.control;
        EXPECT_EQ(is_list(p.kind), p.entries.count > 0) << p.control;
        EXPECT_EQ(p.table(), tab(p.tab).table);
    }
    EXPECT_EQ(controls.size(), 36);
    EXPECT_EQ(fields.size(), 36);
}

TEST(Catalogue, FileEntriesFollowTheFilesOrder) {
    QStringList keys;
    for (const ParamDef* p : file_entries())
        keys << QLatin1String(tab(p->tab).ini_section) + QLatin1Char('/') +
                    QLatin1String(p->ini_key);
    EXPECT_EQ(keys.join(QLatin1Char(' ')),
              QStringLiteral("COMP/SP COMP/SP_L COMP/SP_H ALARM1/RALA ALARM1/RELE ALARM1/SPLO "
                             "ALARM1/SPHI ALARM1/HYST PID/PB PID/TI PID/TD PID/TUNE REGO/FEED "
                             "REGO/F2 REGO/DSER REGO/DEAD REGO/TPID SENS/STRS SENS/ENDS SENS/OFFS "
                             "SENS/TYPE SENS/DP SENS/KOMP DACO/AIN DACO/AOUT DACO/ASTR DACO/AEND "
                             "ERRO/RE12 ERRO/RE-3 ERRO/YOUT OSTAT/PASS OSTAT/FILT OSTAT/LOCK "
                             "OSTAT/LEVEL ADD/ADRESA"));
}

TEST(Catalogue, ListsHoldTheirEntries) {
    struct Case {
        const char* control;
        int count;
        int position;
        const char* entry;
    } cases[] = {
        {"cb_rala1", 4, 3, "DWI (horní a spodní mez alarmu s posuvem)"},
        {"cb_f2", 17, 0, "0 bez filtru"},
        {"cb_f2", 17, 16, "16"},
        {"cb_tpid", 10, 9, "10"},
        {"cb_sens", 15, 4, "termočlánek \"R\""},
        {"cb_sens", 15, 14, "0-50mV"},
        {"cb_komp", 5, 2, "teplota 20°C"},
        {"cb_erro12", 5, 4, ""},
        {"cb_filtr", 9, 0, "0 (bez filtru)"},
        {"cb_level", 2, 1, "servisní nastavení"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(param(c.control).entries.count, c.count) << c.control;
        EXPECT_EQ(param(c.control).entry(c.position), QString::fromUtf8(c.entry)) << c.control;
    }
}

TEST(Catalogue, RealsShowTwoDecimalsAfterFiveSignificantDigits) {
    struct Case {
        double value;
        const char* comma;
        const char* point;
    } cases[] = {
        {2.5, "2,50", "2.50"},
        {1234.567f, "1234,60", "1234.60"},
        {0.126f, "0,13", "0.13"},
        {0.0, "0,00", "0.00"},
        {-3.0, "-3,00", "-3.00"},
        {12345.678, "12346,00", "12346.00"},
        {0.004, "0,00", "0.00"},
        {-0.004, "0,00", "0.00"},
        {0.005, "0,01", "0.01"},
        {123456.0, "1,2346E5", "1.2346E5"},
        {99999.7, "1E5", "1E5"},
        {-2500000.0, "-2,5E6", "-2.5E6"},
        {std::numeric_limits<double>::quiet_NaN(), "NAN", "NAN"},
        {std::numeric_limits<double>::infinity(), "INF", "INF"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(format_real(c.value, kComma), QString::fromUtf8(c.comma)) << c.value;
        EXPECT_EQ(format_real(c.value, kPoint), QString::fromUtf8(c.point)) << c.value;
    }
}

TEST(Catalogue, RealTextsParseWithTheLocalesSeparatorOnly) {
    struct Case {
        const char* text;
        const QLocale& locale;
        std::optional<float> expected;
    } cases[] = {
        {"12,5", kComma, 12.5f},         {"12.5", kPoint, 12.5f},
        {"12,5", kPoint, std::nullopt},  {"1,250", kPoint, std::nullopt},  // no group separators
        {"1 250", kComma, std::nullopt}, {" -7 ", kPoint, -7.0f},
        {"1,2346E5", kComma, 123460.0f},  // what an exponent display collects back as
        {"abc", kPoint, std::nullopt},   {"", kPoint, std::nullopt},
        {"inf", kPoint, std::nullopt},   {"nan", kPoint, std::nullopt},
        {"1e39", kPoint, std::nullopt},  // beyond a float
    };
    for (const Case& c : cases)
        EXPECT_EQ(parse_real(QLatin1String(c.text), c.locale), c.expected) << c.text;
}

TEST(Catalogue, WholeTextsParseAsDecimal32BitNumbers) {
    struct Case {
        const char* text;
        std::optional<std::int32_t> expected;
    } cases[] = {
        {"70000", 70000},
        {"-56", -56},
        {" 5 ", 5},
        {"+3", 3},
        {"2147483647", 2147483647},
        {"2147483648", std::nullopt},
        {"12,5", std::nullopt},
        {"0x10", std::nullopt},
        {"", std::nullopt},
        {"-", std::nullopt},
    };
    for (const Case& c : cases) EXPECT_EQ(parse_whole(QLatin1String(c.text)), c.expected) << c.text;
}

TEST(Catalogue, ListsShowTheFieldsPositionOrNothing) {
    DeviceData d;
    struct Case {
        const char* control;
        int value;
        int shown;
    } cases[] = {
        {"cb_sens", 20, -1}, {"cb_sens", 14, 14}, {"cb_sens", -1, -1}, {"cb_tpid", 0, -1},
        {"cb_tpid", 10, 9},  {"cb_tpid", 11, -1}, {"cb_f2", 16, 16},   {"cb_f2", 65535, -1},
    };
    for (const Case& c : cases) {
        const FieldRef f = param(c.control).field(d);
        if (f.i8) *f.i8 = static_cast<std::int8_t>(c.value);
        if (f.i32) *f.i32 = c.value;
        EXPECT_EQ(list_position(param(c.control), d), c.shown) << c.control << " " << c.value;
    }
}

TEST(Catalogue, ListPositionsAreStoredWithTheirCoding) {
    DeviceData d;
    store_position(param("cb_sens"), d, -1);
    EXPECT_EQ(static_cast<std::uint8_t>(d.sens.TYPE), 0xFF);
    store_position(param("cb_tpid"), d, -1);
    EXPECT_EQ(d.rego.TPID, 0);
    store_position(param("cb_tpid"), d, 9);
    EXPECT_EQ(d.rego.TPID, 10);
    store_position(param("cb_erro12"), d, 4);
    EXPECT_EQ(d.erro.RE12, 4);
    store_position(param("cb_filtr"), d, -1);
    EXPECT_EQ(d.ost.FILT, -1);
}

TEST(Catalogue, EditTextsConvertBothWays) {
    QLocale::setDefault(kComma);
    DeviceData d;
    d.add.ADD = static_cast<std::int8_t>(200);
    EXPECT_EQ(edit_text(param("ed_adresa"), d), QStringLiteral("-56"));
    EXPECT_TRUE(store_text(param("ed_adresa"), d, QStringLiteral("300")));
    EXPECT_EQ(d.add.ADD, 44);
    EXPECT_TRUE(store_text(param("ed_dser"), d, QStringLiteral("70000")));
    EXPECT_EQ(d.rego.DSER, 70000);
    d.pid.PB = 2.5f;
    EXPECT_EQ(edit_text(param("ed_pb"), d), QStringLiteral("2,50"));
    EXPECT_FALSE(store_text(param("ed_pb"), d, QStringLiteral("2.5")));
    EXPECT_EQ(d.pid.PB, 0.0f);
    QLocale::setDefault(QLocale::system());
}

// What every writer beside the editor is held to: either decimal separator, and no value
// the controller would hold as something else.
TEST(ValueCheck, TextsGiveTheValueOrTheEditorsReason) {
    struct Case {
        const char* control;
        const char* text;
        Refusal refusal;
        double value;  // when accepted
    } cases[] = {
        {"ed_sp", "58,5", Refusal::None, 58.5},
        {"ed_sp", "58.5", Refusal::None, 58.5},
        {"ed_sp", " -7 ", Refusal::None, -7},
        {"ed_sp", "1.000,5", Refusal::NotANumber, 0},
        {"ed_sp", "1,2,3", Refusal::NotANumber, 0},
        {"ed_sp", "abc", Refusal::NotANumber, 0},
        {"ed_sp", "1e39", Refusal::NotANumber, 0},
        {"ed_pb", "0,1", Refusal::None, static_cast<double>(0.1f)},
        {"ed_dser", "65535", Refusal::None, 65535},
        {"ed_dser", "70000", Refusal::OutOfRange, 0},  // the editor takes it; 16 bits travel
        {"ed_dser", "-1", Refusal::OutOfRange, 0},
        {"ed_dser", "1,5", Refusal::NotAWholeNumber, 0},
        {"ed_pass", "1234", Refusal::None, 1234},
        {"ed_adresa", "126", Refusal::None, 126},
        {"ed_adresa", "127", Refusal::OutOfRange, 0},
        {"ed_adresa", "300", Refusal::OutOfRange, 0},
        {"cb_rala1", "3", Refusal::None, 3},
        {"cb_rala1", "4", Refusal::NotInList, 0},
        {"cb_rala1", "-1", Refusal::NotInList, 0},
        {"cb_erro12", "4", Refusal::None, 4},  // the empty fifth entry
        {"cb_tpid", "10", Refusal::None, 10},  // the number shown
        {"cb_tpid", "0", Refusal::NotInList, 0},
        {"cb_f2", "16", Refusal::None, 16},
        {"cb_f2", "1.0", Refusal::NotAWholeNumber, 0},
    };
    for (const Case& c : cases) {
        const Verdict v = check_text(param(c.control), QLatin1String(c.text));
        EXPECT_EQ(v.refusal, c.refusal) << c.control << " " << c.text;
        if (c.refusal == Refusal::None) {
            EXPECT_DOUBLE_EQ(v.value, c.value) << c.control;
        }
        EXPECT_EQ(editor_reason(v).isEmpty(), c.refusal == Refusal::None) << c.control;
    }
    EXPECT_EQ(editor_reason(check_text(param("ed_sp"), QStringLiteral("x"))),
              QStringLiteral("Je nutné zadávat pouze čísla nebo desetinnou čárku"));
    const Verdict list = check_text(param("cb_tpid"), QStringLiteral("11"));
    EXPECT_EQ(list.low, 1);
    EXPECT_EQ(list.high, 10);
}

TEST(ValueCheck, TablesKeepTheSetPointRuleAndTheListPositions) {
    DeviceData d;
    d.comp = {55.0f, 0.0f, 100.0f};
    EXPECT_TRUE(check_table(d, TableId::TAB_COMP).empty());
    d.comp.SP = 100.0f;  // equality allowed
    EXPECT_TRUE(check_table(d, TableId::TAB_COMP).empty());
    d.comp.SP = 150.0f;
    const auto refused = check_table(d, TableId::TAB_COMP);
    ASSERT_EQ(refused.size(), 1u);
    EXPECT_EQ(refused[0].param, &param("ed_sp"));
    EXPECT_EQ(refused[0].verdict.refusal, Refusal::SetPointLimits);

    d.rego.TPID = 0;  // no entry: the editor would show nothing selected
    const auto rego = check_table(d, TableId::TAB_REGO);
    ASSERT_EQ(rego.size(), 1u);
    EXPECT_EQ(rego[0].param, &param("cb_tpid"));
    EXPECT_EQ(param_of_field(TableId::TAB_REGO, &d.rego.RESV, d), nullptr);
    EXPECT_EQ(param_of_field(TableId::TAB_REGO, &d.rego.TPID, d), &param("cb_tpid"));
}

}  // namespace
