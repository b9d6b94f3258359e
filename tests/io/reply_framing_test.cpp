// Replies whose shape differs from what the driver reads: longer than the
// bounded read, or binary blocks holding the termination character. Whatever
// the shape, the next query must read its own reply.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "tests/io/driver_on_emulator.h"

namespace ztv::test {
namespace {

class ReplyFraming : public OnEachLink {
protected:
    double Number(const char* query) {
        double value = -1;
        EXPECT_EQ(rig().io().InstrQuery(query, &value, kCurrentTimeout), S_OK) << query << ThreadErrorText();
        return value;
    }
    std::string Text(const char* query) {
        std::string reply;
        EXPECT_EQ(rig().io().InstrQuery(query, &reply, 1024, kCurrentTimeout), S_OK) << query << ThreadErrorText();
        return reply;
    }
    // Two numbers read alternately, so a reply one behind cannot pass; and
    // no query found the last reply unread (-410, query interrupted).
    void ExpectOwnReplies() {
        for (int round = 0; round < 2; ++round) {
            EXPECT_EQ(Number("SENS:ATT:LEV?"), 12.5);
            EXPECT_EQ(Number("SENS:FREQ?"), 3.4e9);
        }
        EXPECT_THAT(Text("SYST:ERR?"), ::testing::StartsWith("0,"));
    }
    void SetTwoNumbers() {
        rig().instrument().SetSetting("SENS:ATT:LEV", "12.5");
        rig().instrument().SetSetting("SENS:FREQ", "3.4e9");
    }
};

TEST_P(ReplyFraming, OverlongRepliesAreCutAndReadToTheirEnd) {
    Open();
    SetTwoNumbers();
    rig().instrument().SetSetting("SYST:TEXT", std::string(1100, 'x'));
    EXPECT_EQ(Text("SYST:TEXT?"), std::string(1024, 'x'));
    ExpectOwnReplies();

    rig().instrument().SetSetting("SYST:TEXT", "7" + std::string(4999, '0'));
    EXPECT_EQ(Number("SYST:TEXT?"), 7e99);  // the first 100 digits
    ExpectOwnReplies();

    // A reply exactly as long as the read, terminator included, is already whole.
    rig().instrument().SetSetting("SYST:TEXT", std::string(1023, 'y'));
    EXPECT_EQ(Text("SYST:TEXT?"), std::string(1023, 'y'));
    ExpectOwnReplies();
}

// "*LRN?" answers a block of lines: its data holds line feeds and ends with one.
TEST_P(ReplyFraming, BlocksAreReadByTheirLengthThenTheirTerminator) {
    Open();
    SetTwoNumbers();
    for (const bool flushToEnd : {true, false}) {
        ASSERT_EQ(rig().io().InstrWriteNoPoll("*LRN?", kCurrentTimeout), S_OK);
        SAFEARRAY* block = nullptr;
        ASSERT_EQ(rig().provider().FormattedReadIEEEBlock(&block, true, flushToEnd, kCurrentTimeout), S_OK)
            << ThreadErrorText();
        const std::string data(static_cast<const char*>(block->pvData), block->rgsabound[0].cElements);
        SafeArrayDestroy(block);
        EXPECT_THAT(data, ::testing::StartsWith("SYST:SET #"));
        EXPECT_THAT(data, ::testing::HasSubstr("\nSENS:FREQ 3.4e9\n"));
        EXPECT_EQ(data.back(), '\n');
        if (!flushToEnd) {
            ASSERT_EQ(rig().provider().FormattedFlushRead(kCurrentTimeout), S_OK);
        }
        ExpectOwnReplies();
    }
}

INSTANTIATE_TEST_SUITE_P(Lan, ReplyFraming, ::testing::ValuesIn(kAllLinks), LinkName);

}  // namespace
}  // namespace ztv::test
