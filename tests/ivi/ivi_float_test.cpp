#include "platform/ivi/ivi_float.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>

namespace {

TEST(IviFloat, NaNIsQuiet) {
    double nan = Ivi_GetViReal64NaN();
    EXPECT_TRUE(std::isnan(nan));
    EXPECT_TRUE(Ivi_IsNaN(nan));
    // A quiet NaN has the top mantissa bit set; a signalling one would trap where enabled.
    EXPECT_NE(std::bit_cast<std::uint64_t>(nan) & (std::uint64_t{1} << 51), 0u);
}

TEST(IviFloat, InfinitiesHaveTheirSign) {
    EXPECT_TRUE(std::isinf(Ivi_GetViReal64PosInf()));
    EXPECT_GT(Ivi_GetViReal64PosInf(), 0);
    EXPECT_TRUE(std::isinf(Ivi_GetViReal64NegInf()));
    EXPECT_LT(Ivi_GetViReal64NegInf(), 0);
}

TEST(IviFloat, IsNaNRejectsOrdinaryValues) {
    for (double value : {0.0, -1.5, 1e308, Ivi_GetViReal64PosInf(), Ivi_GetViReal64NegInf()}) {
        EXPECT_FALSE(Ivi_IsNaN(value)) << value;
    }
}

}  // namespace
