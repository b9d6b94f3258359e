// The programs' numbers are written as printf writes them in the C locale,
// even while the thread follows a locale whose decimal mark is a comma.
#include "apps/text/number_text.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <limits>
#include <string>

#include "tests/support/test_support.h"

namespace {

using ztv::test::CommaDecimalLocale;

struct Case {
    double value;
    bool fixed;  // "%.<precision>f", else "%.<precision>g"
    int precision;
    const char* expected;
};

std::string Write(const Case& c) {
    return c.fixed ? apptext::Fixed(c.value, c.precision) : apptext::General(c.value, c.precision);
}

TEST(AppNumberText, WritesThePrintfFormsWithAPointInACommaLocale) {
    constexpr double kInfinity = std::numeric_limits<double>::infinity();
    const Case cases[] = {
        {10.5, false, 15, "10.5"},
        {0.1, false, 15, "0.1"},
        {-2.5, false, 6, "-2.5"},
        {1e-7, false, 6, "1e-07"},
        {123456789, false, 6, "1.23457e+08"},
        {1e6, false, 10, "1000000"},
        {0.0, false, 6, "0"},
        {-0.0, false, 6, "-0"},
        {2.0 / 3, false, 3, "0.667"},
        {kInfinity, false, 6, "inf"},
        {-kInfinity, true, 1, "-inf"},
        {-59.885333, true, 4, "-59.8853"},
        {12.25, true, 1, "12.2"},
        {12.35, true, 1, "12.3"},
        {449.96, true, 1, "450.0"},
        {0.004, true, 2, "0.00"},
        {-0.004, true, 2, "-0.00"},
        {7, true, 0, "7"},
    };
    const CommaDecimalLocale locale;
    if (!locale.active()) GTEST_SKIP() << CommaDecimalLocale::kMissing;
    for (const Case& c : cases) EXPECT_EQ(Write(c), c.expected) << c.expected;
}

TEST(AppNumberText, WritesEveryDigitOfALargeValueInFixedForm) {
    char expected[400];
    std::snprintf(expected, sizeof expected, "%.1f", 1e300);  // the C locale: the test has not left it yet
    const CommaDecimalLocale locale;
    if (!locale.active()) GTEST_SKIP() << CommaDecimalLocale::kMissing;
    EXPECT_EQ(apptext::Fixed(1e300, 1), expected);
    EXPECT_EQ(apptext::Fixed(1e300, 1).size(), 303U);
}

}  // namespace
