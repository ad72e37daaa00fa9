#include "safe_convert.h"

#include <gtest/gtest.h>

#include <limits>

#include "text_format.h"

namespace korvel {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr int32_t kIntMax = std::numeric_limits<int32_t>::max();
constexpr int32_t kIntMin = std::numeric_limits<int32_t>::min();

TEST(SafeConvertTest, TruncationIsDefinedForEveryInput) {
    EXPECT_EQ(TruncToInt(2.9), 2);
    EXPECT_EQ(TruncToInt(-2.9), -2);
    EXPECT_EQ(TruncToInt(kNaN), 0);
    EXPECT_EQ(TruncToInt(kInf), kIntMax);
    EXPECT_EQ(TruncToInt(-kInf), kIntMin);
    EXPECT_EQ(TruncToInt(1e300), kIntMax);
    EXPECT_EQ(TruncToInt64(-1e300), -9200000000000000000LL);
    EXPECT_EQ(TruncToInt64(kNaN), 0);
}

TEST(SafeConvertTest, RoundingGoesHalfAwayFromZero) {
    EXPECT_EQ(RoundToInt(2.5), 3);
    EXPECT_EQ(RoundToInt(2.49), 2);
    EXPECT_EQ(RoundToInt(-2.5), -3);
    EXPECT_EQ(RoundToInt(-2.3), -2);
    EXPECT_EQ(RoundToInt(-0.3), 0);
    EXPECT_EQ(RoundToInt(kNaN), 0);
    EXPECT_EQ(RoundToInt(-kInf), kIntMin);
}

TEST(SafeConvertTest, SinglePrecisionSaturatesToInfinity) {
    EXPECT_EQ(ToSingle(1e300), std::numeric_limits<float>::infinity());
    EXPECT_EQ(ToSingle(-1e300), -std::numeric_limits<float>::infinity());
    EXPECT_EQ(ToSingle(0.5), 0.5f);
    EXPECT_TRUE(std::isnan(ToSingle(kNaN)));
}

TEST(SafeConvertTest, PixelsStayInsideTheRasterRange) {
    EXPECT_EQ(PixelFromDouble(12.99), 12);
    EXPECT_EQ(PixelFromDouble(kNaN), 0);
    EXPECT_EQ(PixelFromDouble(1e12), 1 << 20);
    EXPECT_EQ(PixelFromDouble(-kInf), -(1 << 20));
}

TEST(TextFormatTest, FormatsLikePrintfWithoutLengthLimit) {
    EXPECT_EQ(CFormat("Cur%d", 7), "Cur7");
    EXPECT_EQ(CFormat("%5.3fMHz", 6.1), "6.100MHz");
    EXPECT_EQ(CFormat("%s", std::string(500, 'x').c_str()).size(), 500);
    EXPECT_EQ(FormatDecimals(-80.0, 1), "-80.0");
    EXPECT_EQ(FormatDecimals(-75.0, 0), "-75");
    EXPECT_EQ(FormatDecimals(1.0, -1), "1.000000");
    EXPECT_EQ(FormatDecimals(1e300, 100).size(), 301u + 1u + 30u);
}

}  // namespace
}  // namespace korvel
