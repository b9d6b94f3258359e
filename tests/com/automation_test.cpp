#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "zentrava/com.h"

namespace {

TEST(VarR8Round, RoundsHalfToEven) {
    struct Case {
        double value;
        int decimals;
        double expected;
    };
    const Case cases[] = {
        {2.5, 0, 2.0},
        {3.5, 0, 4.0},
        {-2.5, 0, -2.0},
        {-3.5, 0, -4.0},
        {0.5, 0, 0.0},
        {1.5, 0, 2.0},
        {2.4999, 0, 2.0},
        {2.5001, 0, 3.0},
        {0.125, 2, 0.12},
        {0.375, 2, 0.38},
        {-0.125, 2, -0.12},
        {1.25, 1, 1.2},
        {1.35, 1, 1.4},
        {123.456, 2, 123.46},
        {-123.456, 1, -123.5},
        // 1.005 is stored as 1.00499999999999989..., below the tie.
        {1.005, 2, 1.0},
        {-1.005, 2, -1.0},
        {1e20, 2, 1e20},
        {1234.5678, 10, 1234.5678},
    };
    for (const Case& c : cases) {
        double result = -999;
        ASSERT_EQ(VarR8Round(c.value, c.decimals, &result), S_OK) << c.value;
        EXPECT_DOUBLE_EQ(result, c.expected) << c.value << " at " << c.decimals;
    }
}

TEST(VarR8Round, RejectsNegativePlacesAndKeepsSpecialValues) {
    double result = 7;
    EXPECT_EQ(VarR8Round(2.5, -1, &result), E_INVALIDARG);
    EXPECT_EQ(result, 7);
    EXPECT_EQ(VarR8Round(2.5, 0, nullptr), E_INVALIDARG);
    ASSERT_EQ(VarR8Round(std::numeric_limits<double>::infinity(), 2, &result), S_OK);
    EXPECT_TRUE(std::isinf(result));
    ASSERT_EQ(VarR8Round(std::nan(""), 2, &result), S_OK);
    EXPECT_TRUE(std::isnan(result));
    ASSERT_EQ(VarR8Round(0.0, 400, &result), S_OK);
    EXPECT_EQ(result, 0.0);
}

TEST(VarBstrCmp, OrdinalWithOptionalCaseFolding) {
    struct Case {
        const char16_t* left;
        const char16_t* right;
        ULONG flags;
        HRESULT expected;
    };
    const Case cases[] = {
        {u"Marker1", u"Marker1", 0, VARCMP_EQ},
        {u"Marker1", u"marker1", 0, VARCMP_LT},
        {u"marker1", u"Marker1", 0, VARCMP_GT},
        {u"Marker1", u"marker1", NORM_IGNORECASE, VARCMP_EQ},
        {u"Marker1", u"Marker10", NORM_IGNORECASE, VARCMP_LT},
        {u"Marker2", u"MARKER10", NORM_IGNORECASE, VARCMP_GT},
        {u"\u00C4RGER", u"\u00E4rger", NORM_IGNORECASE, VARCMP_EQ},
        {u"\u0394\u0416", u"\u03B4\u0436", NORM_IGNORECASE, VARCMP_EQ},
        {u"\u00D7", u"\u00F7", NORM_IGNORECASE, VARCMP_LT},  // multiplication and division signs are not a pair
        {u"", u"", 0, VARCMP_EQ},
        {u"", u"a", 0, VARCMP_LT},
        {u"\uFFFF", u"\U0001F600", 0, VARCMP_GT},  // code units, not code points
    };
    for (const Case& c : cases) {
        BSTR left = SysAllocString(c.left);
        BSTR right = SysAllocString(c.right);
        EXPECT_EQ(VarBstrCmp(left, right, 0x0409, c.flags), c.expected)
            << WideToUtf8(c.left) << " vs " << WideToUtf8(c.right);
        SysFreeString(left);
        SysFreeString(right);
    }
}

TEST(VarBstrCmp, NullIsEmptyAndEmbeddedNulsCount) {
    BSTR empty = SysAllocString(u"");
    BSTR text = SysAllocString(u"a");
    EXPECT_EQ(VarBstrCmp(nullptr, empty, 0, 0), VARCMP_EQ);
    EXPECT_EQ(VarBstrCmp(nullptr, nullptr, 0, 0), VARCMP_EQ);
    EXPECT_EQ(VarBstrCmp(nullptr, text, 0, 0), VARCMP_LT);
    EXPECT_EQ(VarBstrCmp(text, nullptr, 0, 0), VARCMP_GT);
    const OLECHAR withNul[] = {u'a', 0, u'b'};
    BSTR longer = SysAllocStringLen(withNul, 3);
    EXPECT_EQ(VarBstrCmp(text, longer, 0, 0), VARCMP_LT);
    SysFreeString(empty);
    SysFreeString(text);
    SysFreeString(longer);
}

}  // namespace
