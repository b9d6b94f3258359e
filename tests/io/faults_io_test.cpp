// Faults on a live session: slow, silent, dropped and garbled replies, and
// resources that cannot be opened. Each ends in its result code and text,
// within its time-out, and leaves the session usable where that is possible.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>

#include "tests/io/driver_on_emulator.h"
#include "tests/support/emulator_support.h"

namespace ztv::test {
namespace {

using ::testing::ElementsAre;
using ::testing::StartsWith;

constexpr LONG kShortTimeout = 150;

class FaultsIO : public OnEachLink {
protected:
    void OpenWithShortTimeout() {
        Open();
        ASSERT_EQ(rig().provider().SetIOTimeout(kShortTimeout), S_OK);
    }
    bool TimedOut() {
        bool flag = false;
        EXPECT_EQ(rig().provider().IsTimeout(&flag), S_OK);
        return flag;
    }
    double Level(HRESULT expected = S_OK) {
        double value = -1;
        EXPECT_EQ(rig().io().InstrQuery("SENS:ATT:LEV?", &value, kCurrentTimeout), expected) << ThreadErrorText();
        return value;
    }
};

TEST_P(FaultsIO, LateReplyTimesOutClearsAndIsNeverReadLater) {
    OpenWithShortTimeout();
    rig().instrument().SetSetting("SENS:ATT:LEV", "1.25");
    rig().MarkClears();
    rig().faults().SetReplyDelay(4 * kShortTimeout);
    Level(E_ZENTRAVA_IO_TIMEOUT);
    EXPECT_EQ(ThreadErrorText(), "Zentrava: IO timeout error: Timeout expired before operation completed.");
    EXPECT_TRUE(TimedOut());

    rig().faults().SetReplyDelay(0);
    rig().instrument().SetSetting("SENS:ATT:LEV", "7.5");
    // Give the late reply time to arrive; it must not answer the next query.
    ASSERT_EQ(rig().provider().SetIOTimeout(8 * kShortTimeout), S_OK);
    EXPECT_EQ(Level(), 7.5);
    EXPECT_FALSE(TimedOut());
    EXPECT_TRUE(rig().ClearedSinceMark());
    EXPECT_EQ(Level(), 7.5);
}

TEST_P(FaultsIO, SwallowedReplyTimesOutAndTheNextQueryWorks) {
    OpenWithShortTimeout();
    rig().instrument().SetSetting("SENS:ATT:LEV", "3");
    rig().MarkClears();
    rig().faults().SwallowReplies(1);
    Level(E_ZENTRAVA_IO_TIMEOUT);
    EXPECT_TRUE(TimedOut());
    EXPECT_EQ(Level(), 3);
    EXPECT_FALSE(TimedOut());
    EXPECT_TRUE(rig().ClearedSinceMark());
}

TEST_P(FaultsIO, TimeoutWithPollingOnStillChecksTheStatus) {
    OpenWithShortTimeout();
    ASSERT_EQ(rig().operation()->put_QueryInstrumentStatus(VARIANT_TRUE), S_OK);
    rig().ClearSent();
    rig().faults().SwallowReplies(1);
    Level(E_ZENTRAVA_IO_TIMEOUT);
    // The status check's own result does not replace the time-out.
    EXPECT_THAT(rig().Sent(), ElementsAre("SENS:ATT:LEV?\n", "*ESR?\n"));
    EXPECT_TRUE(TimedOut());
}

TEST_P(FaultsIO, GarbageRepliesAreNumbersOfNothing) {
    OpenWithShortTimeout();
    rig().faults().GarbleReplies(2);
    EXPECT_TRUE(std::isnan(Level()));
    LONG count = -1;
    EXPECT_EQ(rig().io().InstrQuery("SENS:PN1:SWE:POIN?", &count, kCurrentTimeout), S_OK);
    EXPECT_EQ(count, 0);
    rig().instrument().SetSetting("SENS:ATT:LEV", "4");
    EXPECT_EQ(Level(), 4);
}

TEST_P(FaultsIO, TruncatedReplyGivesWhatArrived) {
    OpenWithShortTimeout();
    rig().instrument().SetSetting("SENS:ATT:LEV", "12.345");
    rig().faults().TruncateNextReply(3);
    EXPECT_EQ(Level(), 12);  // "12." with its line feed
    // Without its terminator the reply never completes on a raw socket; the
    // other interfaces end the message anyway.
    rig().faults().TruncateNextReply(2, false);
    if (rig().link() == Link::Socket) {
        Level(E_ZENTRAVA_IO_TIMEOUT);
    } else {
        EXPECT_EQ(Level(), 12);
    }
    EXPECT_EQ(Level(), 12.345);
}

TEST_P(FaultsIO, ConnectionDroppedMidReply) {
    OpenWithShortTimeout();
    rig().instrument().SetSetting("SENS:ATT:LEV", "12.345");
    rig().faults().DropDuringNextReply(2);
    Level(E_ZENTRAVA_IO_GENERAL);
    EXPECT_THAT(ThreadErrorText(), StartsWith("Zentrava: IO error: "));
    EXPECT_FALSE(TimedOut());
    // The device clear after the failure connects again: the session lives on.
    EXPECT_EQ(Level(), 12.345);
    const std::vector<int> connections = rig().SentConnections();
    ASSERT_EQ(connections.size(), 2u);
    EXPECT_NE(connections[0], connections[1]);
}

TEST_P(FaultsIO, ConnectionDroppedBeforeTheReply) {
    OpenWithShortTimeout();
    rig().faults().DropOnNextMessage();
    std::string reply;
    EXPECT_EQ(rig().io().InstrQuery("*IDN?", &reply, 1024, kCurrentTimeout), E_ZENTRAVA_IO_GENERAL);
    EXPECT_THAT(ThreadErrorText(), StartsWith("Zentrava: IO error: "));
    EXPECT_TRUE(reply.empty());
    EXPECT_EQ(rig().io().InstrQuery("*IDN?", &reply, 1024, kCurrentTimeout), S_OK) << ThreadErrorText();
    EXPECT_THAT(reply, StartsWith("Orvane Technologies,Q7310B,"));
}

INSTANTIATE_TEST_SUITE_P(Lan, FaultsIO, ::testing::ValuesIn(kAllLinks), LinkName);

// Resources that never open: each is an unknown resource with its text, and
// the driver stays uninitialized.
TEST(UnopenableResource, IsReportedAsUnknown) {
    IsolatedEnvironment env;
    // A port that was just free is refused.
    emulator::Emulator probe;
    ASSERT_TRUE(emulator::test::Started(probe));
    const int closedSocket = probe.SocketPort();
    const int closedHislip = probe.HislipPort();
    const int closedVxi11 = probe.Vxi11Port();
    probe.Stop();
    ScopedEnv vxi11("ZENTRAVA_VXI11_PORT", std::to_string(closedVxi11));

    const std::string resources[] = {
        "TCPIP0::127.0.0.1::" + std::to_string(closedSocket) + "::SOCKET",
        "TCPIP0::127.0.0.1::inst0::INSTR",
        "TCPIP0::127.0.0.1::hislip0," + std::to_string(closedHislip) + "::INSTR",
        "TCPIP0::no-such-host.invalid::5025::SOCKET",
        "TCPIP0::127.0.0.1::notaport::SOCKET",
        "TCPIP0::127.0.0.1::70000::SOCKET",
        "TCPIP0::::inst0::INSTR",
        "FOO0::1::INSTR",
        "ASRL/dev/zentrava-no-such-tty::INSTR",
        "",
    };
    for (const std::string& resource : resources) {
        Ref<IIviDriver> driver = NewDriver();
        EXPECT_EQ(InitializeDriver(driver.get(), resource, true, true, ""), E_IVI_RESOURCE_UNKNOWN) << resource;
        // The result code's text, then the transport's reason.
        const std::string text = ThreadErrorText();
        const std::string known = "Zentrava: Unknown resource. ";
        EXPECT_EQ(text.substr(0, known.size()), known) << resource;
        EXPECT_GT(text.size(), known.size() + 1) << resource;
        VARIANT_BOOL on = VARIANT_TRUE;
        EXPECT_EQ(driver->get_Initialized(&on), S_OK);
        EXPECT_EQ(on, VARIANT_FALSE) << resource;
    }
}

}  // namespace
}  // namespace ztv::test
