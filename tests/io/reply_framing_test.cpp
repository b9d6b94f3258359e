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
    void SetTwoNumbers() {
        rig().instrument().SetSetting("SENS:ATT:LEV", "12.5");
        rig().instrument().SetSetting("SENS:FREQ", "3.4e9");
    }
};

TEST_P(ReplyFraming, OverlongRepliesAreCutAndReadToTheirEnd) {
    Open();
    SetTwoNumbers();
    rig().instrument().SetSetting("SYST:TEXT", std::string(1100, 'x'));
    EXPECT_EQ(QueryText(rig().object(), "SYST:TEXT?"), std::string(1024, 'x'));
    ExpectOwnReplies(rig().object());

    rig().instrument().SetSetting("SYST:TEXT", "7" + std::string(4999, '0'));
    EXPECT_EQ(QueryNumber(rig().object(), "SYST:TEXT?"), 7e99);  // the first 100 digits
    ExpectOwnReplies(rig().object());

    // A reply exactly as long as the read, terminator included, is already whole.
    rig().instrument().SetSetting("SYST:TEXT", std::string(1023, 'y'));
    EXPECT_EQ(QueryText(rig().object(), "SYST:TEXT?"), std::string(1023, 'y'));
    ExpectOwnReplies(rig().object());
}

// "*LRN?" answers a block of lines: its data holds line feeds and ends with one.
TEST_P(ReplyFraming, BlocksAreReadByTheirLengthThenTheirTerminator) {
    Open();
    SetTwoNumbers();
    ExpectLearnBlocksReadByTheirLength(rig().object());
}

INSTANTIATE_TEST_SUITE_P(Lan, ReplyFraming, ::testing::ValuesIn(kAllLinks), LinkName);

}  // namespace
}  // namespace ztv::test
