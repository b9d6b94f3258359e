#include "emulator/instrument/scpi_parser.h"

#include <gtest/gtest.h>

#include "emulator/servers/message_framer.h"
#include "tests/support/test_support.h"

namespace emulator::scpi {
namespace {

TEST(ScpiParserTest, LongAndShortFormsNormalizeAlike) {
    struct Case {
        const char* written;
        const char* normalized;
    };
    const Case cases[] = {
        {"ATTenuation", "ATT"}, {"att", "ATT"},    {"LEVel", "LEV"},   {"FREQuency", "FREQ"},
        {"TRAC1", "TRAC"},      {"TRACe", "TRAC"}, {"MARK3", "MARK3"}, {"BIT12", "BIT12"},
        {"RDATa", "RDAT"},      {"LIMit", "LIM"},  {"ERRor", "ERR"},   {"DATA", "DATA"},
        {"USER1", "USER"},      {"PN01", "PN"},    {"REF2", "REF2"},   {"SYSTem", "SYST"},
    };
    for (const Case& c : cases) EXPECT_EQ(NormalizeMnemonic(c.written), c.normalized) << c.written;
}

TEST(ScpiParserTest, CompoundHeadersFollowThePathOfThePreviousCommand) {
    std::vector<Unit> units = ParseMessage("STAT:PRES; *CLS; *SRE 48; *ESE 1; :STAT:QUES:ENAB 0; OPER:ENAB 0;ENAB?\n");
    ASSERT_EQ(units.size(), 7u);
    EXPECT_EQ(JoinNodes(units[0].nodes), "STAT:PRES");
    EXPECT_TRUE(units[1].common);
    EXPECT_EQ(units[2].nodes[0], "SRE");
    EXPECT_EQ(units[2].params, "48");
    EXPECT_EQ(JoinNodes(units[4].nodes), "STAT:QUES:ENAB");
    // Relative to STAT:QUES: after the absolute command; common commands do not move the path.
    EXPECT_EQ(JoinNodes(units[5].nodes), "STAT:QUES:OPER:ENAB");
    EXPECT_EQ(JoinNodes(units[6].nodes), "STAT:QUES:OPER:ENAB");
    EXPECT_TRUE(units[6].query);
    for (const Unit& u : units) EXPECT_EQ(u.error, 0) << u.header;
}

TEST(ScpiParserTest, SeparatorsInsideStringsAndBlocksAreData) {
    std::string block = "#15a;b\nc";
    std::vector<Unit> units = ParseMessage("SYST:SET " + block + ";DISP:MESS:DATA \"x;y\",1;*OPC?\n");
    ASSERT_EQ(units.size(), 3u);
    EXPECT_EQ(units[0].params, block);
    EXPECT_EQ(BlockPayload(units[0].params), std::optional<std::string>("a;b\nc"));
    EXPECT_EQ(SplitParameters(units[1].params), (std::vector<std::string>{"\"x;y\"", "1"}));
    EXPECT_TRUE(units[2].query);
}

TEST(ScpiParserTest, BlockDataKeepsTrailingBlanks) {
    std::vector<Unit> units = ParseMessage("SYST:SET #13ab \n");
    ASSERT_EQ(units.size(), 1u);
    EXPECT_EQ(BlockPayload(units[0].params), std::optional<std::string>("ab "));
}

TEST(ScpiParserTest, MalformedUnitsCarryTheirError) {
    struct Case {
        const char* message;
        int error;
    };
    const Case cases[] = {
        {"SENS::ATT 1", -102}, {"SENS:ATT-LEV 1", -102}, {"SENS:ABCDEFGHIJKLMN 1", -112},
        {"*ID1N?", -102},      {"SYST:SET #9123", -160}, {"DISP:MESS:DATA \"open", -160},
    };
    for (const Case& c : cases) {
        std::vector<Unit> units = ParseMessage(c.message);
        ASSERT_FALSE(units.empty()) << c.message;
        EXPECT_EQ(units.back().error, c.error) << c.message;
    }
}

TEST(ScpiParserTest, NumbersAcceptBooleanWordsButNotText) {
    EXPECT_EQ(Number("ON"), 1.0);
    EXPECT_EQ(Number("off"), 0.0);
    EXPECT_EQ(Number("-1.5e3"), -1500.0);
    EXPECT_FALSE(Number("1.5dB"));
    EXPECT_FALSE(Number("abc"));
    EXPECT_FALSE(Number(""));
}

TEST(ScpiParserTest, NumbersKeepAPointAsDecimalMarkInACommaLocale) {
    const ztv::test::CommaDecimalLocale locale;
    if (!locale.active()) GTEST_SKIP() << ztv::test::CommaDecimalLocale::kMissing;
    const struct {
        const char* text;
        double value;
    } cases[] = {{"10.5", 10.5}, {"+1.5E+06", 1.5e6}, {"-0.125", -0.125}, {"2", 2}};
    for (const auto& c : cases) EXPECT_EQ(Number(c.text), c.value) << c.text;
    EXPECT_FALSE(Number("10,5"));
}

TEST(ScpiParserTest, DefiniteBlocksRoundTrip) {
    std::string payload(1234, '\n');
    std::string block = DefiniteBlock(payload);
    EXPECT_EQ(block.substr(0, 6), "#41234");
    EXPECT_EQ(BlockPayload(block), payload);
    EXPECT_EQ(DefiniteBlock(""), "#10");
    EXPECT_FALSE(BlockPayload("#3123ab"));  // shorter than announced
}

TEST(MessageFramerTest, LineFeedsInsideBlocksDoNotEndTheMessage) {
    MessageFramer framer;
    std::string first = "SYST:SET #14\n\n\n\n\n";
    std::string second = "*IDN?\n";
    std::string stream = first + second + "*OPC";
    // Byte by byte, as the worst fragmentation a socket can deliver.
    std::vector<std::string> messages;
    for (char c : stream) {
        framer.Append(&c, 1);
        while (std::optional<std::string> m = framer.Next()) messages.push_back(*m);
    }
    EXPECT_EQ(messages, (std::vector<std::string>{first, second}));
    EXPECT_EQ(framer.Buffered(), 4u);
}

}  // namespace
}  // namespace emulator::scpi
