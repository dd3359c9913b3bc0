#include "engine/Cp1251.h"
#include "engine/Cp1251Qt.h"
#include "engine/StreetError.h"

#include <gtest/gtest.h>

TEST(Cp1251, EveryByteRoundTripsThroughUnicodeAndQt) {
    std::string all;
    for (int b = 0; b < 256; ++b)
        all += static_cast<char>(b);
    const Cp1251String s(all);
    EXPECT_EQ(Cp1251String::FromUtf8(s.ToUtf8()), s);
    EXPECT_EQ(FromQString(ToQString(s)), s);
    EXPECT_EQ(Cp1251ToUnicode(0x98), U'\u0098');
}

TEST(Cp1251, KnownCharacters) {
    struct Case {
        unsigned char byte;
        char32_t code;
    } cases[] = {{0xC0, U'А'}, {0xFF, U'я'}, {0xA8, U'Ё'}, {0xB8, U'ё'}, {0xB9, U'№'}, {0x88, U'€'},
                 {0x96, U'–'}, {0xA0, U'\u00A0'}, {0x41, U'A'}};
    for (const Case &c : cases) {
        EXPECT_EQ(Cp1251ToUnicode(c.byte), c.code) << int(c.byte);
        EXPECT_EQ(UnicodeToCp1251(c.code), c.byte) << int(c.byte);
    }
    EXPECT_EQ(Cp("Проезжая часть").Size(), 14u);
}

TEST(Cp1251, TextWithoutCodePageFormIsRefusedNotChanged) {
    Cp1251String out("keep");
    EXPECT_FALSE(Cp1251String::TryFromUtf8("日本", out));
    EXPECT_FALSE(Cp1251String::TryFromUtf8("\xC3", out));         // truncated sequence
    EXPECT_FALSE(Cp1251String::TryFromUtf8("\xC0\x80", out));     // overlong form
    EXPECT_FALSE(TryFromQString(QString::fromUtf8("a😀"), out)); // surrogate pair
    EXPECT_EQ(out, Cp1251String("keep"));
    EXPECT_THROW(FromQString(QString::fromUtf8("ä€Ω")), EStreetError);
}

TEST(Cp1251, CaseFoldCoversCyrillic) {
    EXPECT_EQ(UpperCase(Cp("ёжик Ђђ ўЎ їЇ іІ abc")), Cp("ЁЖИК ЂЂ ЎЎ ЇЇ ІІ ABC"));
    EXPECT_EQ(LowerCase(Cp("ЁЖИК XYZ")), Cp("ёжик xyz"));
    EXPECT_TRUE(SameText(Cp("Обочина"), Cp("ОБОЧИНА")));
    EXPECT_FALSE(SameText(Cp("Обочина"), Cp("Обочин")));
    EXPECT_LT(CompareText(Cp("а"), Cp("Б")), 0);
    // Bytes without a case partner are unchanged (micro sign, unassigned 0x98).
    EXPECT_EQ(Cp1251Upper(0xB5), 0xB5);
    EXPECT_EQ(Cp1251Upper(0x98), 0x98);
    for (int b = 0; b < 256; ++b) {
        const auto u = Cp1251Upper(static_cast<unsigned char>(b));
        if (u != b) {
            EXPECT_EQ(Cp1251Lower(u), b) << b;
        }
    }
}
