// The value texts of traced arguments, and what arrays record.
#include "services/tracing/trace_values.h"

#include <gtest/gtest.h>

#include "tests/support/test_support.h"

namespace ztv::test {
namespace {

VARIANT Variant(VARTYPE vt) {
    VARIANT v;
    VariantInit(&v);
    v.vt = vt;
    return v;
}

TEST(TraceValues, ScalarTexts) {
    const double tenth = 0.1, tiny = 1.5e-20, big = 123456789012345678.0;
    const float floatTenth = 0.1f;
    const LONG negative = -42;
    const SHORT shortValue = -7;
    const BYTE byteValue = 200;
    const VARIANT_BOOL yes = VARIANT_TRUE, no = VARIANT_FALSE, odd = 5;
    const LONG widenedTrue = -1, widenedFalse = 0;
    const std::string text = "SENS:ATT:LEV 10.5";
    const std::string_view view = "*IDN?";
    const Bstr label("a \"quoted\" label");
    const BSTR labelText = label.get(), nullText = nullptr;
    struct Case {
        TraceArg arg;
        const char* expected;
    } cases[] = {
        {TraceArg::In("d", tenth), "0.1"},
        {TraceArg::In("d", tiny), "1.5e-20"},
        {TraceArg::In("d", big), "1.23456789012346e+17"},
        {TraceArg::In("f", floatTenth), "0.100000001490116"},
        {TraceArg::In("l", negative), "-42"},
        {TraceArg::In("s", shortValue), "-7"},
        {TraceArg::In("b", byteValue), "200"},
        {TraceArg::InBoolean("t", yes), "true"},
        {TraceArg::InBoolean("t", no), "false"},
        {TraceArg::InBoolean("t", odd), "true"},
        {TraceArg::InBoolean("t", widenedTrue), "true"},
        {TraceArg::InBoolean("t", widenedFalse), "false"},
        {TraceArg::In("s", text), "SENS:ATT:LEV 10.5"},
        {TraceArg::In("s", view), "*IDN?"},
        {TraceArg::In("s", labelText), "a \"quoted\" label"},
        {TraceArg::In("s", nullText), ""},
        {TraceArg::Out("o", static_cast<double*>(nullptr)), "<null>"},
    };
    for (const Case& c : cases) EXPECT_EQ(DescribeValue(c.arg, 10).text, c.expected) << c.expected;
}

TEST(TraceValues, VariantTexts) {
    VARIANT real = Variant(VT_R8);
    real.dblVal = 2.5;
    VARIANT flag = Variant(VT_BOOL);
    flag.boolVal = VARIANT_TRUE;
    VARIANT unsignedInt = Variant(VT_UI4);
    unsignedInt.lVal = -1;
    VARIANT wide = Variant(VT_I8);
    wide.llVal = -9000000000;
    VARIANT scode = Variant(VT_ERROR);
    scode.scode = E_FAIL;
    struct Case {
        VARIANT value;
        const char* expected;
    } cases[] = {
        {Variant(VT_EMPTY), "<empty>"},
        {Variant(VT_NULL), "<null>"},
        {Variant(VT_UNKNOWN), "<interface>"},
        {Variant(VT_DISPATCH), "<interface>"},
        {Variant(VT_VARIANT | VT_BYREF), "<variant>"},
        {real, "2.5"},
        {flag, "true"},
        {unsignedInt, "4294967295"},
        {wide, "-9000000000"},
        {scode, "<unknown>"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(VariantText(c.value), c.expected) << c.expected;
        EXPECT_EQ(DescribeValue(TraceArg::In("v", c.value), 10).text, c.expected) << c.expected;
    }
}

TEST(TraceValues, ArraysListElementsUpToTheLimit) {
    SAFEARRAY* points = SafeArrayCreateVector(VT_R8, 0, 401);
    for (LONG i = 0; i < 401; ++i) {
        double value = i * 0.5;
        SafeArrayPutElement(points, &i, &value);
    }
    SAFEARRAY* bytes = SafeArrayCreateVector(VT_UI1, 0, 2);
    SAFEARRAY* empty = SafeArrayCreateVector(VT_R8, 0, 0);
    SAFEARRAY* none = nullptr;
    struct Case {
        SAFEARRAY* array;
        long limit;
        const char* sizes;
        std::vector<std::string> elements;
    } cases[] = {
        {points, 10, "401", {"0", "0.5", "1", "1.5", "2", "2.5", "3", "3.5", "4", "4.5"}},
        {points, 3, "401", {"0", "0.5", "1"}},
        {points, 0, "401", {}},
        {bytes, 10, "2", {"0", "0"}},
        {empty, 10, "0", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.sizes) + " limit " + std::to_string(c.limit));
        const TracedValue value = DescribeValue(TraceArg::In("a", c.array), c.limit);
        EXPECT_TRUE(value.isArray);
        EXPECT_EQ(value.text, "<array>");
        EXPECT_EQ(value.dimensions, 1u);
        EXPECT_EQ(value.dimensionSizes, c.sizes);
        EXPECT_EQ(value.elements, c.elements);
    }
    const TracedValue missing = DescribeValue(TraceArg::Out("a", &none), 10);
    EXPECT_FALSE(missing.isArray);
    EXPECT_EQ(missing.text, "<null>");

    SAFEARRAYBOUND bounds[2] = {{3, 0}, {4, 1}};
    SAFEARRAY* grid = SafeArrayCreate(VT_R8, 2, bounds);
    const TracedValue table = DescribeValue(TraceArg::In("a", grid), 20);
    EXPECT_EQ(table.dimensions, 2u);
    EXPECT_EQ(table.dimensionSizes, "3,4");
    EXPECT_EQ(table.elements.size(), 12u);

    VARIANT wrapped;
    VariantInit(&wrapped);
    wrapped.vt = VT_ARRAY | VT_R8;
    wrapped.parray = points;
    const TracedValue inVariant = DescribeValue(TraceArg::In("v", wrapped), 2);
    EXPECT_EQ(inVariant.dimensionSizes, "401");
    EXPECT_EQ(inVariant.elements, (std::vector<std::string>{"0", "0.5"}));

    for (SAFEARRAY* array : {points, bytes, empty, grid}) SafeArrayDestroy(array);
}

}  // namespace
}  // namespace ztv::test
