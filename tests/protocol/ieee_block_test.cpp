// Block headers as the formatter, the learned-state reader and ztv's raw
// link read them: what one writes reads back, and every malformed header is
// refused at the byte where it goes wrong.
#include "platform/protocol/ieee_block.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace protocol {
namespace {

using Status = BlockHeaderStatus;

TEST(IeeeBlock, DefiniteHeadersRoundTrip) {
    for (std::size_t length :
         {std::size_t{0}, std::size_t{1}, std::size_t{9}, std::size_t{10}, std::size_t{4096}, std::size_t{999999999}}) {
        const std::string header = DefiniteBlockHeader(length);
        const std::string block = header + std::string(length < 64 ? length : 3, 'x');
        const BlockHeader parsed = ParseBlockHeader(block);
        EXPECT_EQ(parsed.status, Status::kDefinite) << header;
        EXPECT_EQ(parsed.size, header.size()) << header;
        EXPECT_EQ(parsed.length, length) << header;
    }
    EXPECT_EQ(DefiniteBlockHeader(1234), "#41234");
}

struct HeaderCase {
    std::string_view text;
    bool whole;
    Status status;
    std::size_t size;
    std::size_t length;
};

TEST(IeeeBlock, HeadersAreReadOrRefusedAtTheFirstBadByte) {
    const HeaderCase cases[] = {
        {"#15abcde", false, Status::kDefinite, 3, 5},
        {"#15", true, Status::kDefinite, 3, 5},  // the length may reach beyond the reply
        {"#3000", false, Status::kDefinite, 5, 0},
        {"#210\n", false, Status::kDefinite, 4, 10},
        {"#9999999999xyz", false, Status::kDefinite, 11, 999999999},  // the largest: nine nines
        {"#9000000001", false, Status::kDefinite, 11, 1},
        {"#0", false, Status::kIndefinite, 2, 0},
        {"#0\x01\x02\n", true, Status::kIndefinite, 2, 0},
        // A header cut short needs more bytes, unless the message has ended.
        {"", false, Status::kIncomplete, 0, 0},
        {"#", false, Status::kIncomplete, 0, 0},
        {"#3", false, Status::kIncomplete, 5, 0},
        {"#31", false, Status::kIncomplete, 5, 1},
        {"#99999", false, Status::kIncomplete, 11, 9999},
        {"", true, Status::kNoStart, 0, 0},
        {"#", true, Status::kBadDigitCount, 0, 0},
        {"#3", true, Status::kBadLength, 5, 0},
        {"#312", true, Status::kBadLength, 5, 12},
        // No '#' at the front.
        {"15abc", false, Status::kNoStart, 0, 0},
        {" #15abc", false, Status::kNoStart, 0, 0},
        {"1.5,2.5\n", true, Status::kNoStart, 0, 0},
        // The digit count is one digit, 0 to 9.
        {"#A12", false, Status::kBadDigitCount, 0, 0},
        {"#-1", false, Status::kBadDigitCount, 0, 0},
        {"#\n", false, Status::kBadDigitCount, 0, 0},
        {"#:1", false, Status::kBadDigitCount, 0, 0},  // the byte after '9'
        {"#/1", false, Status::kBadDigitCount, 0, 0},  // the byte before '0'
        // Every length digit is a digit: no blanks, signs or hex.
        {"#2a1", false, Status::kBadLength, 4, 0},
        {"#21a", false, Status::kBadLength, 4, 1},
        {"#2 1", false, Status::kBadLength, 4, 0},
        {"#2+1", false, Status::kBadLength, 4, 0},
        {"#3-10", false, Status::kBadLength, 5, 0},
        {"#20x", false, Status::kBadLength, 4, 0},
    };
    for (const HeaderCase& c : cases) {
        const BlockHeader header = ParseBlockHeader(c.text, c.whole);
        const std::string name = "\"" + std::string(c.text) + (c.whole ? "\" (whole)" : "\"");
        EXPECT_EQ(header.status, c.status) << name;
        if (header.status == Status::kDefinite || header.status == Status::kIndefinite) {
            EXPECT_EQ(header.size, c.size) << name;
            EXPECT_EQ(header.length, c.length) << name;
        }
    }
}

TEST(IeeeBlock, AnIndefiniteBlockEndsBeforeTheLineFeedSentWithEnd) {
    EXPECT_EQ(IndefiniteBlockData("abc\n"), "abc");
    EXPECT_EQ(IndefiniteBlockData("ab\nc"), "ab\nc");  // a line feed inside is data
    EXPECT_EQ(IndefiniteBlockData("ab\n\n"), "ab\n");  // only the last one closes it
    EXPECT_EQ(IndefiniteBlockData("abc"), "abc");      // END alone
    EXPECT_EQ(IndefiniteBlockData("\n"), "");
    EXPECT_EQ(IndefiniteBlockData(""), "");
}

TEST(IeeeBlock, NestedHeadersSpanTheirDigitCountOnly) {
    const struct {
        std::string_view text;
        std::size_t span;
    } cases[] = {
        {"#3123data", 5}, {"#3", 5}, {"#0data", 2}, {"#9", 11},  {"#x12", 2},  // a non-digit counts as none
        {"#", 0},         {"", 0},   {"x#3123", 0}, {"3123", 0},
    };
    for (const auto& c : cases) EXPECT_EQ(BlockHeaderSpan(c.text), c.span) << c.text;
}

TEST(IeeeBlock, ElementBytesSwapWholeElementsOnly) {
    std::vector<std::uint8_t> bytes{1, 2, 3, 4, 5, 6, 7, 8, 9};
    SwapElementBytes(bytes.data(), bytes.size(), 4);
    EXPECT_EQ(bytes, (std::vector<std::uint8_t>{4, 3, 2, 1, 8, 7, 6, 5, 9}));  // the odd byte stays
    SwapElementBytes(bytes.data(), bytes.size(), 2);
    EXPECT_EQ(bytes, (std::vector<std::uint8_t>{3, 4, 1, 2, 7, 8, 5, 6, 9}));
    SwapElementBytes(bytes.data(), bytes.size(), 1);
    EXPECT_EQ(bytes, (std::vector<std::uint8_t>{3, 4, 1, 2, 7, 8, 5, 6, 9}));
}

}  // namespace
}  // namespace protocol
