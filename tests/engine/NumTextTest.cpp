#include "engine/NumText.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <limits>

TEST(NumText, FloatToStrGeneralFormat) {
    struct Case {
        double v;
        const char *text;
    } cases[] = {{0, "0"},           {1.5, "1.5"},       {-2.25, "-2.25"},   {0.1, "0.1"},
                 {100, "100"},       {1e14, "100000000000000"}, {1e15, "1E15"}, {1.5e20, "1.5E20"},
                 {0.00001, "0.00001"}, {1.5e-6, "1.5E-6"}, {1.0 / 3, "0.333333333333333"},
                 {123456.789, "123456.789"}};
    for (const Case &c : cases)
        EXPECT_EQ(FloatToStr(c.v), c.text) << c.v;
    EXPECT_EQ(FloatToStr(std::numeric_limits<double>::quiet_NaN()), "NAN");
    EXPECT_EQ(FloatToStr(-std::numeric_limits<double>::infinity()), "-INF");
}

TEST(NumText, IndependentOfLocale) {
    const char *old = std::setlocale(LC_NUMERIC, nullptr);
    std::string saved = old ? old : "C";
    // A locale with a decimal comma, when the machine has one; the result must not change either way.
    std::setlocale(LC_NUMERIC, "ru_RU.UTF-8");
    EXPECT_EQ(FloatToStr(2.5), "2.5");
    EXPECT_EQ(FormatFixed(2.5, 2), "2.50");
    double v = 0;
    EXPECT_TRUE(TryStrToFloat("3.25", v));
    EXPECT_EQ(v, 3.25);
    std::setlocale(LC_NUMERIC, saved.c_str());
}

TEST(NumText, ParsingAcceptsOnlyWholeNumbers) {
    struct Case {
        const char *text;
        bool ok;
        double v;
    } cases[] = {{"1.5", true, 1.5}, {" -2 ", true, -2}, {"+4e2", true, 400}, {"1,5", false, 0},
                 {"", false, 0},     {"abc", false, 0},  {"1.5x", false, 0}, {"++1", false, 0}};
    for (const Case &c : cases) {
        double v = -99;
        EXPECT_EQ(TryStrToFloat(c.text, v), c.ok) << c.text;
        if (c.ok) {
            EXPECT_EQ(v, c.v) << c.text;
        }
    }
    int32_t i = 0;
    EXPECT_TRUE(TryStrToInt(" 42", i));
    EXPECT_EQ(i, 42);
    EXPECT_FALSE(TryStrToInt("2147483648", i));
    EXPECT_EQ(StrToIntDef("x", 7), 7);
}

TEST(NumText, RoundHalfToEvenAndDefinedConversions) {
    struct Case {
        double v;
        int64_t round, trunc;
    } cases[] = {{0.5, 0, 0}, {1.5, 2, 1}, {2.5, 2, 2}, {-0.5, 0, 0}, {-1.5, -2, -1}, {-2.7, -3, -2}, {3.49, 3, 3}};
    for (const Case &c : cases) {
        EXPECT_EQ(Round(c.v), c.round) << c.v;
        EXPECT_EQ(Trunc(c.v), c.trunc) << c.v;
    }
    EXPECT_EQ(FloatToInt<int32_t>(std::nan("")), 0);
    EXPECT_EQ(FloatToInt<int32_t>(1e300), std::numeric_limits<int32_t>::max());
    EXPECT_EQ(FloatToInt<int32_t>(-1e300), std::numeric_limits<int32_t>::min());
    EXPECT_EQ(FloatToInt<int32_t>(2147483648.0), std::numeric_limits<int32_t>::max());
    EXPECT_EQ(FloatToInt<int32_t>(-2147483648.0), std::numeric_limits<int32_t>::min());
    EXPECT_EQ(FloatToInt<uint8_t>(300), 255);
    EXPECT_EQ(FloatToInt<uint8_t>(-3), 0);
    EXPECT_EQ(Round32(std::numeric_limits<double>::infinity()), std::numeric_limits<int32_t>::max());
}

TEST(NumText, RoundTripTexts) {
    for (double v : {0.1, 1.0 / 3, 12345.678901234567, -1e-300}) {
        double back = 0;
        ASSERT_TRUE(TryStrToFloat(FloatToStrRoundTrip(v), back));
        EXPECT_EQ(back, v);
    }
    EXPECT_EQ(SingleToStrRoundTrip(0.1f), "0.1");
    EXPECT_EQ(FormatFixed(-0.001, 2), "0.00");
}
