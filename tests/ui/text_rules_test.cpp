#include "text_rules.h"

#include <gtest/gtest.h>

#include <limits>

namespace korvel {
namespace {

TEST(ParseUnsignedText, AcceptsDigitsWithBlanksAround) {
    EXPECT_EQ(ParseUnsignedText("14270"), 14270u);
    EXPECT_EQ(ParseUnsignedText(" \t 15000\t "), 15000u);
    EXPECT_EQ(ParseUnsignedText("0"), 0u);
    EXPECT_EQ(ParseUnsignedText("  000"), 0u);
    EXPECT_EQ(ParseUnsignedText("4294967295"), 4294967295u);
}

TEST(ParseUnsignedText, RefusesSignsJunkEmptyAndOverflow) {
    EXPECT_FALSE(ParseUnsignedText("-5"));
    EXPECT_FALSE(ParseUnsignedText("  -0"));
    EXPECT_FALSE(ParseUnsignedText(""));
    EXPECT_FALSE(ParseUnsignedText("   "));
    EXPECT_FALSE(ParseUnsignedText("12abc"));
    EXPECT_FALSE(ParseUnsignedText("1 2"));
    EXPECT_FALSE(ParseUnsignedText("14.5"));
    EXPECT_FALSE(ParseUnsignedText("+0"));  // zero needs a leading '0'
    EXPECT_FALSE(ParseUnsignedText("4294967296"));
    EXPECT_FALSE(ParseUnsignedText("99999999999999999999"));
}

TEST(ParseNumberText, AcceptsDecimalNumbers) {
    EXPECT_EQ(ParseNumberText("6.1", 1e9), 6.1);
    EXPECT_EQ(ParseNumberText(" -2.5e1\t", 1e9), -25.0);
    EXPECT_EQ(ParseNumberText("+7", 1e9), 7.0);
    EXPECT_EQ(ParseNumberText(".5", 1e9), 0.5);
    EXPECT_EQ(ParseNumberText("5.", 1e9), 5.0);
    EXPECT_EQ(ParseNumberText("0", 1e9), 0.0);
    EXPECT_EQ(ParseNumberText("0.000", 1e9), 0.0);
}

TEST(ParseNumberText, RefusesTextThatIsNoUsableNumber) {
    for (const char* text : {"", "  ", "abc", "6.1x", "1e", "e5", ".", "-", "1,5", "0x10", "nan",
                             "NAN", "inf", "-inf", "infinity", "1e400", "-1e400"}) {
        EXPECT_FALSE(ParseNumberText(text, std::numeric_limits<double>::max())) << text;
    }
}

TEST(ParseNumberText, ZeroNeedsALeadingZeroDigit) {
    EXPECT_FALSE(ParseNumberText(".0", 1e9));
    EXPECT_FALSE(ParseNumberText("-0", 1e9));
    EXPECT_FALSE(ParseNumberText("+0.0", 1e9));
    EXPECT_FALSE(ParseNumberText("1e-400", 1e9));  // underflows to nothing usable
}

TEST(ParseNumberText, RefusesValuesBeyondTheFieldsMagnitude) {
    const double floatMax = std::numeric_limits<float>::max();
    EXPECT_FALSE(ParseNumberText("1e39", floatMax));
    EXPECT_TRUE(ParseNumberText("1e38", floatMax));
}

TEST(FormatSignificant, MatchesPrintfPercentG) {
    EXPECT_EQ(FormatSignificant(6.1f, 6), "6.1");
    EXPECT_EQ(FormatSignificant(13.1f, 6), "13.1");
    EXPECT_EQ(FormatSignificant(21.9f, 6), "21.9");
    EXPECT_EQ(FormatSignificant(0.0, 15), "0");
    EXPECT_EQ(FormatSignificant(1000.0, 15), "1000");
    EXPECT_EQ(FormatSignificant(6.1f, 15), "6.09999990463257");
    EXPECT_EQ(FormatSignificant(1234567.0, 6), "1.23457e+06");
    EXPECT_EQ(FormatSignificant(0.0001, 6), "0.0001");
    EXPECT_EQ(FormatSignificant(0.00001, 6), "1e-05");
}

TEST(FormatFixed, PadsToWidthLikePrintf) {
    EXPECT_EQ(FormatFixed(6.1, 5, 3), "6.100");
    EXPECT_EQ(FormatFixed(1.5, 3, 1), "1.5");
    EXPECT_EQ(FormatFixed(1.5, 6, 1), "   1.5");
    EXPECT_EQ(FormatFixed(-20.25, 3, 1), "-20.2");  // round half to even at the binary value
    EXPECT_EQ(FormatFixed(123456.0, 3, 1), "123456.0");
}

TEST(RangeMessages, UseTheFieldPrecision) {
    EXPECT_EQ(IntegerRangeMessage(1000, 50000), "Enter an integer between 1000 and 50000.");
    EXPECT_EQ(NumberRangeMessage(1, 60, 6), "Enter a number between 1 and 60.");
    EXPECT_EQ(NumberRangeMessage(0, 1000, 15), "Enter a number between 0 and 1000.");
}

}  // namespace
}  // namespace korvel
