// The inherent utility members against an instrument: error queue, self
// test, disable and switching status checking on.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "tests/io/driver_on_emulator.h"

namespace ztv::test {
namespace {

using ::testing::ElementsAre;

using InherentIO = OnEachLink;

struct QueueEntry {
    LONG code;
    std::string message;
};

QueueEntry NextError(DriverOnEmulator& rig, HRESULT expected = S_OK) {
    LONG code = 99;
    Bstr message;
    EXPECT_EQ(rig.utility()->ErrorQuery(&code, message.out()), expected) << ThreadErrorText();
    return {code, message.str()};
}

TEST_P(InherentIO, ErrorQueryReadsTheInstrumentQueueInOrder) {
    Open();
    CDriverIOManager& io = rig().io();
    ASSERT_EQ(io.InstrWrite("FOO:BAR", kCurrentTimeout), S_OK);
    ASSERT_EQ(io.InstrWrite("*ESE 300", kCurrentTimeout), S_OK);
    ASSERT_EQ(io.InstrWrite("EMUL:ERR 211,\"Input 'RF' overloaded\"", kCurrentTimeout), S_OK);
    rig().ClearSent();

    const QueueEntry undefined = NextError(rig());
    EXPECT_EQ(undefined.code, -113);
    EXPECT_EQ(undefined.message, "Undefined header");
    const QueueEntry range = NextError(rig());
    EXPECT_EQ(range.code, -222);
    EXPECT_EQ(range.message, "Data out of range");
    // The message stops at the apostrophe.
    const QueueEntry overload = NextError(rig());
    EXPECT_EQ(overload.code, 211);
    EXPECT_EQ(overload.message, "Input ");
    const QueueEntry none = NextError(rig());
    EXPECT_EQ(none.code, 0);
    EXPECT_EQ(none.message, "No error");
    EXPECT_THAT(rig().Sent(), ElementsAre("SYST:ERR?\n", "SYST:ERR?\n", "SYST:ERR?\n", "SYST:ERR?\n"));
}

TEST_P(InherentIO, ErrorQuerySuspendsStatusPollingAndRestoresIt) {
    Open("QueryInstrStatus=true");
    // Error bits that would fail any polled command.
    rig().faults().ForceEsrBits(0x20, true);
    ASSERT_EQ(rig().io().InstrWriteNoPoll("FOO:BAR", kCurrentTimeout), S_OK);
    rig().ClearSent();
    const QueueEntry entry = NextError(rig());
    EXPECT_EQ(entry.code, -113);
    EXPECT_THAT(rig().Sent(), ElementsAre("SYST:ERR?\n"));

    VARIANT_BOOL polling = VARIANT_FALSE;
    ASSERT_EQ(rig().operation()->get_QueryInstrumentStatus(&polling), S_OK);
    EXPECT_EQ(polling, VARIANT_TRUE);
    rig().ClearSent();
    EXPECT_EQ(rig().io().InstrWrite("*CLS", kCurrentTimeout), E_IVI_INSTRUMENT_STATUS);
    EXPECT_THAT(rig().Sent(), ElementsAre("*CLS\n", "*ESR?\n"));
}

TEST_P(InherentIO, ErrorQueryRefusesAReplyThatIsNotAQueueEntry) {
    Open();
    rig().faults().GarbleReplies(1);
    NextError(rig(), E_IVI_UNEXPECTED_RESPONSE);
    EXPECT_EQ(ThreadErrorText(), "Zentrava: Unexpected response from instrument.");
    EXPECT_EQ(NextError(rig()).message, "No error");
}

TEST_P(InherentIO, SelfTestAsksTheInstrument) {
    Open();
    ASSERT_EQ(rig().provider().SetIOTimeout(500), S_OK);
    LONG result = 42;
    Bstr message(std::string_view("left over"));
    ASSERT_EQ(rig().utility()->SelfTest(&result, message.out()), S_OK) << ThreadErrorText();
    EXPECT_EQ(result, 0);
    EXPECT_EQ(message.str(), "Selftest passed");
    EXPECT_THAT(rig().Sent(), ElementsAre("*TST?\n"));
    LONG timeout = 0;
    ASSERT_EQ(rig().provider().GetIOTimeout(&timeout), S_OK);
    EXPECT_EQ(timeout, 500);
}

TEST_P(InherentIO, DisableResetsAndWaits) {
    Open();
    rig().instrument().SetSetting("SENS:ATT:LEV", "20");
    ASSERT_EQ(rig().utility()->Disable(), S_OK) << ThreadErrorText();
    EXPECT_THAT(rig().Sent(), ElementsAre("*RST;*OPC?\n"));
    EXPECT_EQ(rig().instrument().Setting("SENS:ATT:LEV"), std::nullopt);  // the reset forgot it
}

TEST_P(InherentIO, EnablingStatusCheckingClearsStatusFirst) {
    Open();
    // An error from before the switch must not count against it.
    ASSERT_EQ(rig().io().InstrWrite("FOO:BAR", kCurrentTimeout), S_OK);
    rig().ClearSent();
    ASSERT_EQ(rig().operation()->put_QueryInstrumentStatus(VARIANT_TRUE), S_OK) << ThreadErrorText();
    EXPECT_THAT(rig().Sent(), ElementsAre("*CLS\n", "*ESR?\n"));

    rig().ClearSent();
    ASSERT_EQ(rig().operation()->put_QueryInstrumentStatus(VARIANT_FALSE), S_OK);
    EXPECT_TRUE(rig().Sent().empty());

    // The poll that follows "*CLS" reports what the instrument says.
    rig().faults().ForceEsrBits(0x04, false);
    EXPECT_EQ(rig().operation()->put_QueryInstrumentStatus(VARIANT_TRUE), E_IVI_INSTRUMENT_STATUS);
    EXPECT_EQ(ThreadErrorText(), kInstrumentStatusText);
    VARIANT_BOOL polling = VARIANT_FALSE;
    ASSERT_EQ(rig().operation()->get_QueryInstrumentStatus(&polling), S_OK);
    EXPECT_EQ(polling, VARIANT_TRUE);
}

INSTANTIATE_TEST_SUITE_P(Lan, InherentIO, ::testing::ValuesIn(kAllLinks), LinkName);

}  // namespace
}  // namespace ztv::test
