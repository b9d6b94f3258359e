#include "core/option_parsing.h"

#include <gtest/gtest.h>

namespace ztv {
namespace {

struct PairsCase {
    const char* text;
    OptionPairs expected;
};

class OptionPairsTest : public ::testing::TestWithParam<PairsCase> {};

TEST_P(OptionPairsTest, FindsPairsLikeThePattern) { EXPECT_EQ(ParseOptionPairs(GetParam().text), GetParam().expected); }

INSTANTIATE_TEST_SUITE_P(
    Grammar, OptionPairsTest,
    ::testing::Values(PairsCase{"Simulate=true,RangeCheck=false", {{"Simulate", "true"}, {"RangeCheck", "false"}}},
                      PairsCase{" simulate = VI_TRUE ", {{"simulate", "VI_TRUE"}}},
                      // Without a comma the next name belongs to the value.
                      PairsCase{"Simulate=true RangeCheck=false", {{"Simulate", "true RangeCheck"}}},
                      PairsCase{"Simulate", {}}, PairsCase{"Simulate=", {}}, PairsCase{"=true", {}},
                      PairsCase{"a=b=c", {{"a", "b"}}}, PairsCase{"Cache=,x=y", {{"x", "y"}}},
                      PairsCase{"a=1;b=2", {{"a", "1;b"}}}, PairsCase{"q=\"x\"", {{"q", "\"x\""}}},
                      // A later pair of exactly the same name wins; other spellings stay apart.
                      PairsCase{"a=1,a=2,A=3", {{"a", "2"}, {"A", "3"}}}, PairsCase{",,,", {}},
                      PairsCase{" \t=x", {{"", "x"}}}));

TEST(OptionValues, BooleansAcceptOnlyTheSixSpellings) {
    for (const char* on : {"true", "TRUE", "VI_TRUE", "vi_true", "1"}) EXPECT_EQ(ParseOptionBoolean(on), true) << on;
    for (const char* off : {"false", "False", "VI_FALSE", "0"}) EXPECT_EQ(ParseOptionBoolean(off), false) << off;
    for (const char* bad : {"yes", "on", "2", "", "true "}) EXPECT_EQ(ParseOptionBoolean(bad), std::nullopt) << bad;
}

TEST(OptionValues, DecimalIntegersReadLeadingDigits) {
    const std::pair<const char*, std::int32_t> cases[] = {
        {"42", 42}, {"  -7x", -7}, {"+15", 15}, {"abc", 0}, {"", 0}, {"12.9", 12}, {"99999999999", INT32_MAX}};
    for (const auto& [text, value] : cases) EXPECT_EQ(ParseDecimalInteger(text), value) << text;
}

}  // namespace
}  // namespace ztv
