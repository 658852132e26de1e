#include "platform/version_info.h"

#include <gtest/gtest.h>

#include "version_config.h"

namespace {

using version_info::program_value;

TEST(VersionInfo, RecordCarriesTheProjectVersionAndProductValues) {
    const auto r = version_info::compiled_record();
    EXPECT_EQ(r.FileVersion, QStringLiteral("1.0.0.0"));
    EXPECT_EQ(r.FileVersion, QStringLiteral(TX20_VERSION_TEXT));
    EXPECT_EQ(r.ProductVersion, QStringLiteral("1.0"));
    EXPECT_EQ(r.ProductName, QStringLiteral("TX-20"));
    EXPECT_EQ(r.FileDescription, QStringLiteral("Komunikace s regulátorem KELVRA 20"));
    for (const QString* v :
         {&r.CompanyName, &r.InternalName, &r.LegalCopyright, &r.OriginalFilename})
        EXPECT_FALSE(v->isEmpty());
}

TEST(VersionInfo, ProgramRecordAnswersFromTheCzechCp1250Table) {
    const QString table = QLatin1String(version_info::kStringTable);
    EXPECT_EQ(program_value(table, QStringLiteral("FileVersion")), QStringLiteral("1.0.0.0"));
    EXPECT_EQ(program_value(table, QStringLiteral("ProductVersion")), QStringLiteral("1.0"));
    EXPECT_EQ(program_value(table, QStringLiteral("ProductName")), QStringLiteral("TX-20"));
    EXPECT_EQ(program_value(QStringLiteral("040504e2"), QStringLiteral("fileversion")),
              QStringLiteral("1.0.0.0"));
}

TEST(VersionInfo, OtherTablesAndUnknownValuesGiveNothing) {
    EXPECT_EQ(program_value(QStringLiteral("040904B0"), QStringLiteral("FileVersion")),
              std::nullopt);
    EXPECT_EQ(program_value(QStringLiteral("04050000"), QStringLiteral("FileVersion")),
              std::nullopt);
    EXPECT_EQ(program_value(QStringLiteral("040504E2"), QStringLiteral("Comments")), std::nullopt);
    EXPECT_EQ(program_value(QString(), QString()), std::nullopt);
}

}  // namespace
