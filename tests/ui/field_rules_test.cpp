#include "field_rules.h"

#include <gtest/gtest.h>

namespace korvel {
namespace {

TEST(SmithFrequencyField, RangeAndTextRules) {
    EXPECT_TRUE(ReadSmithFreqKHz("1000").Accepted());
    EXPECT_TRUE(ReadSmithFreqKHz("50000").Accepted());

    const auto high = ReadSmithFreqKHz("50001");
    EXPECT_EQ(high.status, FieldStatus::kOutOfRange);
    EXPECT_TRUE(high.Stores());
    EXPECT_EQ(high.value, 50001u);
    EXPECT_EQ(high.message, "Enter an integer between 1000 and 50000.");

    const auto negative = ReadSmithFreqKHz("-5");
    EXPECT_EQ(negative.status, FieldStatus::kBadText);
    EXPECT_FALSE(negative.Stores());
    EXPECT_EQ(negative.message, "Enter a positive integer.");

    EXPECT_EQ(ReadSmithFreqKHz("").message, "Enter a positive integer.");
    EXPECT_EQ(ReadSmithFreqKHz("999").status, FieldStatus::kOutOfRange);
}

TEST(SmithFrequencyField, ComparesAsSignedSoHugeValuesAreBelowTheRange) {
    const auto huge = ReadSmithFreqKHz("3000000000");
    EXPECT_EQ(huge.status, FieldStatus::kOutOfRange);
    EXPECT_EQ(huge.value, 3000000000u);
}

TEST(RangeField, BoundsAreInclusiveAndCheckedOnTheFloat) {
    EXPECT_TRUE(ReadRangeMHz("1").Accepted());
    EXPECT_TRUE(ReadRangeMHz("60").Accepted());
    EXPECT_TRUE(ReadRangeMHz("60.0000001").Accepted());  // is 60 as a float
    const auto low = ReadRangeMHz("0.5");
    EXPECT_EQ(low.status, FieldStatus::kOutOfRange);
    EXPECT_FLOAT_EQ(low.value, 0.5f);
    EXPECT_EQ(low.message, "Enter a number between 1 and 60.");
    EXPECT_EQ(ReadRangeMHz("abc").message, "Enter a number.");
    EXPECT_EQ(ReadRangeMHz("nan").status, FieldStatus::kBadText);
    EXPECT_EQ(ReadRangeMHz("inf").status, FieldStatus::kBadText);
    EXPECT_EQ(ReadRangeMHz("1e39").status, FieldStatus::kBadText);  // no float holds it
}

TEST(CableField, ZeroToThousand) {
    EXPECT_TRUE(ReadCableLengthM("0").Accepted());
    EXPECT_TRUE(ReadCableLengthM("1000").Accepted());
    const auto over = ReadCableLengthM("1000.5");
    EXPECT_EQ(over.status, FieldStatus::kOutOfRange);
    EXPECT_EQ(over.value, 1000.5);
    EXPECT_EQ(over.message, "Enter a number between 0 and 1000.");
    EXPECT_EQ(ReadCableLengthM("-1").status, FieldStatus::kOutOfRange);
    EXPECT_EQ(ReadCableLengthM("").status, FieldStatus::kBadText);
}

TEST(FieldTexts, ConstructionValuesShowAsTyped) {
    EXPECT_EQ(ShowSmithFreqKHz(14270), "14270");
    EXPECT_EQ(ShowRangeMHz(6.1f), "6.1");
    EXPECT_EQ(ShowRangeMHz(7.9f), "7.9");
    EXPECT_EQ(ShowRangeMHz(14.9f), "14.9");
    EXPECT_EQ(ShowCableLengthM(0.0), "0");
    EXPECT_EQ(ShowCableLengthM(12.5), "12.5");
}

}  // namespace
}  // namespace korvel
