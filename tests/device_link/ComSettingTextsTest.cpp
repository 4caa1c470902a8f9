#include "device_link/ComSettingTexts.h"

#include <gtest/gtest.h>

namespace {

enum TColour { coRed, coGreen, coBlue };

TEST(ComSettingTexts, CharacterFormWritesPlainCharactersAndNumbersOtherwise) {
    EXPECT_EQ(CharacterText(19), QStringLiteral("#19"));
    EXPECT_EQ(CharacterText(0), QStringLiteral("#0"));
    EXPECT_EQ(CharacterText(32), QStringLiteral("#32"));
    EXPECT_EQ(CharacterText('!'), QStringLiteral("!"));
    EXPECT_EQ(CharacterText('A'), QStringLiteral("A"));
    EXPECT_EQ(CharacterText(127), QString(QChar(127)));
    EXPECT_EQ(CharacterText(128), QStringLiteral("#128"));
    EXPECT_EQ(CharacterText(200), QStringLiteral("#200"));
}

TEST(ComSettingTexts, CharacterFormReadsBackEveryByteAndForgivesNonsense) {
    for (int byte = 0; byte <= 255; ++byte)
        EXPECT_EQ(CharacterOfText(CharacterText(static_cast<std::uint8_t>(byte))), byte);
    EXPECT_EQ(CharacterOfText(QString()), 0);
    EXPECT_EQ(CharacterOfText(QStringLiteral("#x")), 0);
    EXPECT_EQ(CharacterOfText(QStringLiteral("#")), 35);
    EXPECT_EQ(CharacterOfText(QStringLiteral("#300")), 0);
    EXPECT_EQ(CharacterOfText(QStringLiteral("Abc")), 'A');
}

TEST(ComSettingTexts, TextsReadBackIgnoringTheCaseOfAToZOnly) {
    const QStringList colours{QStringLiteral("Red"), QStringLiteral("Green"), QStringLiteral("Blue")};
    EXPECT_EQ(ValueOfText(QStringLiteral("gREEN"), colours, coRed), coGreen);
    EXPECT_EQ(ValueOfText(QStringLiteral("Purple"), colours, coBlue), coBlue);
    EXPECT_EQ(ValueOfText(QString(), colours, coBlue), coBlue);
    EXPECT_EQ(TextOfValue(coBlue, colours), QStringLiteral("Blue"));
    EXPECT_FALSE(SameAsciiText(u"stra\u00DFe", u"STRASSE"));
    EXPECT_TRUE(IsYesText(QStringLiteral("yEs")));
    EXPECT_FALSE(IsYesText(QStringLiteral("Y")));
}

} // namespace
