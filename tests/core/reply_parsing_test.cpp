#include "core/reply_parsing.h"

#include <gtest/gtest.h>

#include <cmath>

namespace ztv {
namespace {

TEST(Identification, SplitsAtCommaRunsAndTrims) {
    struct Case {
        const char* reply;
        IdentityFields expected;
    } cases[] = {
        {"Orvane Technologies,Q7310B,MY123,A.01.02", {"Orvane Technologies", "Q7310B", "MY123", "A.01.02"}},
        {"Orvane,Q7310B,MY123", {"Orvane", "Q7310B", "MY123", ""}},
        {"Orvane,,Q7310B,MY123,1.0", {"Orvane", "Q7310B", "MY123", "1.0"}},
        {" Orvane , Q7310A ,S , F \n", {"Orvane", "Q7310A", "S", "F"}},
        {"a,b,c,d,e", {"a", "b", "c", "d"}},
        {"", {"", "", "", ""}},
    };
    for (const auto& c : cases) {
        const IdentityFields f = SplitIdentification(c.reply);
        EXPECT_EQ(f.manufacturer, c.expected.manufacturer) << c.reply;
        EXPECT_EQ(f.model, c.expected.model) << c.reply;
        EXPECT_EQ(f.serialNumber, c.expected.serialNumber) << c.reply;
        EXPECT_EQ(f.firmwareRevision, c.expected.firmwareRevision) << c.reply;
    }
}

TEST(ErrorQueueReply, ReadsCodeAndTextUpToQuoteOrApostrophe) {
    struct Case {
        std::u16string reply;
        bool ok;
        LONG code;
        std::u16string message;
    } cases[] = {
        {u"-113,\"Undefined header\"", true, -113, u"Undefined header"},
        {u"+0,\"No error\"\n", true, 0, u"No error"},
        {u"-224,\"Illegal parameter value 'X'\"", true, -224, u"Illegal parameter value "},
        {u"  -350,\"Queue overflow", true, -350, u"Queue overflow"},  // the closing quote is not checked
        {u"0,\"\"", false, 0, u""},
        {u"-113, \"Undefined header\"", false, -113, u""},
        {u"No error", false, 0, u""},
    };
    for (const auto& c : cases) {
        LONG code = 12345;
        std::u16string message;
        EXPECT_EQ(ParseErrorQueueReply(c.reply, &code, &message), c.ok) << WideToUtf8(c.reply);
        if (c.ok || c.code != 0) {
            EXPECT_EQ(code, c.code) << WideToUtf8(c.reply);
        }
        EXPECT_EQ(message, c.message) << WideToUtf8(c.reply);
    }
}

TEST(ReplyConversion, FollowsTheCLibraryRuleWithNaNForNoNumber) {
    EXPECT_DOUBLE_EQ(ReplyToDouble("1.5E+06\n"), 1.5e6);
    EXPECT_DOUBLE_EQ(ReplyToDouble("  -3.25dBm"), -3.25);
    EXPECT_TRUE(std::isnan(ReplyToDouble("abc")));
    EXPECT_TRUE(std::isnan(ReplyToDouble("")));
    const std::pair<const char*, LONG> longs[] = {{"1.5E+06", 1500000}, {"1.9", 1},  {"-1.9", -1},
                                                  {"abc", 0},           {"+32", 32}, {"1e12", INT32_MAX}};
    for (const auto& [reply, value] : longs) EXPECT_EQ(ReplyToLong(reply), value) << reply;
}

}  // namespace
}  // namespace ztv
