#include "platform/cp1250.h"

#include <gtest/gtest.h>

namespace {

TEST(Cp1250, CzechLettersEncodeAndDecode) {
    const QString letters = QStringLiteral("áčďéěíňóřšťúůýž ÁČĎÉĚÍŇÓŘŠŤÚŮÝŽ");
    const QByteArray bytes(
        "\xE1\xE8\xEF\xE9\xEC\xED\xF2\xF3\xF8\x9A\x9D\xFA\xF9\xFD\x9E "
        "\xC1\xC8\xCF\xC9\xCC\xCD\xD2\xD3\xD8\x8A\x8D\xDA\xD9\xDD\x8E");
    EXPECT_EQ(cp1250::encode(letters), bytes);
    EXPECT_EQ(cp1250::decode(bytes), letters);
}

TEST(Cp1250, SignsOutsideLatin1MapToTheirBytes) {
    const QString text = QStringLiteral("€‚„…†‡‰‹›‘’“”•–—™ˇ˘˛˝˙°\u00A0");
    const QByteArray bytes(
        "\x80\x82\x84\x85\x86\x87\x89\x8B\x9B\x91\x92\x93\x94\x95\x96\x97"
        "\x99\xA1\xA2\xB2\xBD\xFF\xB0\xA0");
    EXPECT_EQ(cp1250::encode(text), bytes);
    EXPECT_EQ(cp1250::decode(bytes), text);
}

TEST(Cp1250, EveryDefinedByteRoundTrips) {
    const int undefined[] = {0x81, 0x83, 0x88, 0x90, 0x98};
    QByteArray all;
    for (int b = 0; b < 256; ++b)
        if (std::find(std::begin(undefined), std::end(undefined), b) == std::end(undefined))
            all.append(static_cast<char>(b));
    ASSERT_EQ(all.size(), 251);
    const QString text = cp1250::decode(all);
    ASSERT_EQ(text.size(), 251);
    EXPECT_FALSE(text.contains(QChar(0xFFFD)));
    EXPECT_EQ(cp1250::encode(text), all);
    // No two bytes decode to the same character.
    QString sorted = text;
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ(std::adjacent_find(sorted.begin(), sorted.end()), sorted.end());
}

TEST(Cp1250, UndefinedBytesDecodeToTheReplacementCharacter) {
    EXPECT_EQ(cp1250::decode(QByteArray("a\x81\x83\x88\x90\x98z")),
              QStringLiteral("a\uFFFD\uFFFD\uFFFD\uFFFD\uFFFDz"));
}

TEST(Cp1250, UnmappableCharactersBecomeOneQuestionMarkEach) {
    EXPECT_EQ(cp1250::encode(QStringLiteral("ñ¢Ωя\uFFFD")), QByteArray("?????"));
    EXPECT_EQ(cp1250::encode(QStringLiteral("a😀b")), QByteArray("a?b"));  // surrogate pair
    QString lone = QStringLiteral("x");
    lone.append(QChar(0xD800));
    lone.append(QLatin1Char('y'));
    EXPECT_EQ(cp1250::encode(lone), QByteArray("x?y"));
}

TEST(Cp1250, AsciiAndLineEndsPassUnchanged) {
    const QByteArray ascii("KELVRA20 [V.1.0]\r\nA=1;\t~\x01");
    EXPECT_EQ(cp1250::encode(QString::fromLatin1(ascii)), ascii);
    EXPECT_EQ(cp1250::decode(ascii), QString::fromLatin1(ascii));
    EXPECT_TRUE(cp1250::encode(QString()).isEmpty());
}

}  // namespace
