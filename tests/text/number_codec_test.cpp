#include "platform/text/number_codec.h"

#include <gtest/gtest.h>
#include <locale.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

// What the C library reads in the C locale: the reference the codec must match.
struct CReading {
    bool whole;  // the token is one number, blanks around it aside
    double value;
};

CReading ReadWithCLibrary(const std::string& token) {
    static const locale_t c = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    char* end = nullptr;
    const double value = strtod_l(token.c_str(), &end, c);
    while (*end != '\0' && codec::IsBlank(*end)) ++end;
    return {end != token.c_str() && *end == '\0', value};
}

bool SameDouble(double a, double b) {
    return std::isnan(a) ? std::isnan(b) : std::bit_cast<std::uint64_t>(a) == std::bit_cast<std::uint64_t>(b);
}

TEST(NumberCodec, ReadsEveryTokenAsTheCLibraryDoes) {
    const char* const tokens[] = {"0",
                                  "-0",
                                  "0.1",
                                  "-59.8853331",
                                  "1.5E+06",
                                  "+1.5e6",
                                  " \t7.25\r\n",
                                  ".5",
                                  "5.",
                                  "1e23",
                                  "9007199254740993",
                                  "123456789012345678901234567890",
                                  "2.2250738585072011e-308",
                                  "4.9e-324",
                                  "1e-400",
                                  "-1e400",
                                  "1e308",
                                  "0x1p-2",
                                  "-0X1.8P1",
                                  "inf",
                                  "-Infinity",
                                  "nan",
                                  "NaN(123)",
                                  "+inf",
                                  "1,5",
                                  "1.5V",
                                  "",
                                  "+",
                                  "-",
                                  "+-1",
                                  "--1",
                                  "++1",
                                  "1e",
                                  "1e+",
                                  ".",
                                  "e5",
                                  "0x",
                                  "1 2",
                                  "\v8\f",
                                  "1.0000000000000002",
                                  "0.30000000000000004"};
    for (const std::string token : tokens) {
        const CReading expected = ReadWithCLibrary(token);
        double value = -12345;
        EXPECT_EQ(codec::ParseReal(token, &value), expected.whole) << '"' << token << '"';
        if (expected.whole) {
            EXPECT_TRUE(SameDouble(value, expected.value)) << '"' << token << "\" gave " << value;
        }
    }
}

TEST(NumberCodec, ScanStopsWhereTheNumberEnds) {
    const struct {
        const char* text;
        std::size_t length;  // 0: no number at the start
        double value;
    } cases[] = {{"10.5dBm", 4, 10.5}, {"  -3.25,4", 7, -3.25},
                 {"1e5x", 3, 1e5},     {"1e+", 1, 1},
                 {"abc", 0, 0},        {",1", 0, 0},
                 {"", 0, 0},           {"-6.000109999E+01,-6", 16, -60.00109999},
                 {"2.5e1.5", 5, 25},   {"7.5e+02 V", 7, 750}};
    for (const auto& c : cases) {
        const std::string text = c.text;
        double value = 0;
        const char* end = codec::ScanReal(text.data(), text.data() + text.size(), &value);
        if (c.length == 0) {
            EXPECT_EQ(end, nullptr) << c.text;
            continue;
        }
        ASSERT_NE(end, nullptr) << c.text;
        EXPECT_EQ(static_cast<std::size_t>(end - text.data()), c.length) << c.text;
        EXPECT_EQ(value, c.value) << c.text;
    }
}

// A xorshift step: the same sequence on every run.
std::uint64_t NextRandom(std::uint64_t* state) {
    *state ^= *state << 13;
    *state ^= *state >> 7;
    *state ^= *state << 17;
    return *state;
}

// Doubles spread over the whole range, including subnormals, from a fixed seed.
std::vector<double> SpreadDoubles() {
    std::vector<double> values = {0.0,
                                  -0.0,
                                  0.1,
                                  1e21,
                                  1e-7,
                                  123456789012345.0,
                                  1234567890123456.0,
                                  0.5,
                                  1.0 / 3,
                                  5e-324,
                                  1.7976931348623157e308,
                                  INFINITY,
                                  -INFINITY,
                                  NAN};
    std::uint64_t state = 0x9e3779b97f4a7c15u;
    while (values.size() < 20000) {
        const double value = std::bit_cast<double>(NextRandom(&state));
        if (std::isfinite(value)) values.push_back(value);
    }
    return values;
}

// Values of the sizes instruments measure (1e-15 to 1e15, either sign),
// where most forms have few enough digits for exact double arithmetic.
std::vector<double> MeasuredSizedDoubles() {
    std::vector<double> values;
    std::uint64_t state = 0x2545f4914f6cdd1du;
    while (values.size() < 20000) {
        NextRandom(&state);
        const double unit = static_cast<double>(state >> 11) / 9007199254740992.0;
        const int power = static_cast<int>(state % 31) - 15;
        values.push_back((state & 1 ? -unit : unit) * std::pow(10.0, power));
    }
    return values;
}

// Instruments send "%.9E" and "%.9g"; tools send 15 and 17 significant
// digits. Every form of every spread value, and values whose digits or
// exponent sit at the edges of exact double arithmetic, must read as the C library reads them.
TEST(NumberCodec, InstrumentFormsReadAsTheCLibraryReadsThem) {
    std::vector<std::string> tokens = {"9007199254740992",
                                       "9007199254740993",
                                       "-9007199254740993e-3",
                                       "1e22",
                                       "1e23",
                                       "123456789012345678e4",
                                       "1234567890123456789",
                                       "12345678901234567890",
                                       "0.0000000000000000000001",
                                       "4.35e-22",
                                       "4.35e-23",
                                       "1e0005",
                                       "-0.0e-5",
                                       "8.98846567431158e307",
                                       "2.4703282292062328e-324",
                                       "999999999999999e22",
                                       "999999999999999e-22",
                                       "1000000000000000e-22",
                                       "0.000000000000000000000000001e22",
                                       "1e-023",
                                       "-.5E+1",
                                       "5.E-1"};
    std::vector<double> values = SpreadDoubles();
    const std::vector<double> measured = MeasuredSizedDoubles();
    values.insert(values.end(), measured.begin(), measured.end());
    for (const double value : values) {
        for (const char* format : {"%.9E", "%.9g", "%.15g", "%.17g", "%.3f"}) {
            char text[400];
            std::snprintf(text, sizeof text, format, value);
            tokens.emplace_back(text);
        }
    }
    for (const std::string& token : tokens) {
        const CReading expected = ReadWithCLibrary(token);
        double value = -12345;
        ASSERT_EQ(codec::ParseReal(token, &value), expected.whole) << token;
        ASSERT_TRUE(SameDouble(value, expected.value)) << token << " gave " << value;
    }
}

TEST(NumberCodec, G15IsPrintfsTextByteForByte) {
    for (double value : SpreadDoubles()) {
        char expected[64];
        std::snprintf(expected, sizeof expected, "%.15g", value);
        EXPECT_EQ(codec::FormatG15(value), expected);
    }
}

TEST(NumberCodec, ShortestTextReadsBackTheSameValue) {
    for (double value : SpreadDoubles()) {
        std::string text;
        codec::AppendShortest(value, &text);
        double back = 0;
        ASSERT_TRUE(codec::ParseReal(text, &back)) << text;
        EXPECT_TRUE(SameDouble(back, value)) << text;
    }
}

}  // namespace
