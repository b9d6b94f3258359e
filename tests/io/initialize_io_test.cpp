// Initialize against a real instrument session: identification, model
// check, reset, and the order of what goes on the wire.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "tests/io/driver_on_emulator.h"
#include "tests/support/emulator_support.h"

namespace ztv::test {
namespace {

using ::testing::ElementsAre;

emulator::Options IdentifiedAs(std::string manufacturer, std::string serial, std::string firmware) {
    emulator::Options options;
    options.manufacturer = std::move(manufacturer);
    options.serial = std::move(serial);
    options.firmware = std::move(firmware);
    return options;
}

class InitializeIO : public ::testing::TestWithParam<Link> {
protected:
    std::string Identity(DriverOnEmulator& rig, HRESULT (IIviDriverIdentity::*member)(BSTR*)) {
        Bstr text;
        EXPECT_EQ((rig.identity().get()->*member)(text.out()), S_OK);
        return text.str();
    }
    bool Initialized(DriverOnEmulator& rig) {
        VARIANT_BOOL on = VARIANT_FALSE;
        EXPECT_EQ(rig.driver()->get_Initialized(&on), S_OK);
        return on == VARIANT_TRUE;
    }
};

TEST_P(InitializeIO, ReadsAndSplitsTheIdentification) {
    DriverOnEmulator rig(GetParam(), IdentifiedAs("Orvane Technologies", "MY4711", "2.3.1"));
    ASSERT_EQ(rig.Initialize(true, false), S_OK) << ThreadErrorText();
    EXPECT_TRUE(Initialized(rig));
    EXPECT_TRUE(rig.provider().IsOpen());
    EXPECT_THAT(rig.Sent(), ElementsAre("*IDN?\n"));
    EXPECT_EQ(Identity(rig, &IIviDriverIdentity::get_InstrumentManufacturer), "Orvane Technologies");
    EXPECT_EQ(Identity(rig, &IIviDriverIdentity::get_InstrumentModel), "Q7310B");
    EXPECT_EQ(Identity(rig, &IIviDriverIdentity::get_InstrumentFirmwareRevision), "2.3.1");
    Bstr descriptor;
    ASSERT_EQ(rig.operation()->get_IoResourceDescriptor(descriptor.out()), S_OK);
    EXPECT_EQ(descriptor.str(), rig.resource());
    EXPECT_EQ(rig.driver()->Close(), S_OK);
    EXPECT_FALSE(rig.provider().IsOpen());
}

TEST_P(InitializeIO, ResetFollowsTheIdentificationAndIsPolledWhenAsked) {
    DriverOnEmulator rig(GetParam());
    ASSERT_EQ(rig.Initialize(true, true, "QueryInstrStatus=true"), S_OK) << ThreadErrorText();
    EXPECT_THAT(rig.Sent(), ElementsAre("*IDN?\n", "*ESR?\n", "*RST;*OPC?\n", "*ESR?\n"));
}

TEST_P(InitializeIO, WrongModelFailsTheIdQueryAndClosesTheSession) {
    DriverOnEmulator rig(GetParam());
    rig.faults().SetIdnModel("Q7999Z");
    EXPECT_EQ(rig.Initialize(true, true), E_IVI_ID_QUERY_FAILED);
    EXPECT_EQ(ThreadErrorText(), "Zentrava: Instrument ID query failed.\r\nUnrecognized model: Q7999Z.");
    EXPECT_FALSE(Initialized(rig));
    EXPECT_FALSE(rig.provider().IsOpen());
    // The failed check stops Initialize before the reset.
    EXPECT_THAT(rig.Sent(), ElementsAre("*IDN?\n"));

    // Without the ID query the same instrument is accepted as it names itself.
    rig.ClearSent();
    ASSERT_EQ(rig.Initialize(false, false), S_OK) << ThreadErrorText();
    EXPECT_EQ(Identity(rig, &IIviDriverIdentity::get_InstrumentModel), "Q7999Z");
    EXPECT_THAT(rig.Sent(), ElementsAre("*IDN?\n"));
}

TEST_P(InitializeIO, FailedIdentificationLeavesTheObjectClosedAndReusable) {
    DriverOnEmulator rig(GetParam());
    rig.faults().DropOnNextMessage();
    EXPECT_EQ(rig.Initialize(false, false), E_ZENTRAVA_IO_GENERAL);
    EXPECT_THAT(ThreadErrorText(), ::testing::StartsWith("Zentrava: IO error: "));
    EXPECT_FALSE(Initialized(rig));
    EXPECT_FALSE(rig.provider().IsOpen());
    ASSERT_EQ(rig.Initialize(true, false), S_OK) << ThreadErrorText();
    EXPECT_EQ(Identity(rig, &IIviDriverIdentity::get_InstrumentModel), "Q7310B");
}

TEST_P(InitializeIO, InstrumentErrorInTheFirstPollFailsInitialize) {
    DriverOnEmulator rig(GetParam());
    // Persistent error bits fail the first polled command: the identification.
    rig.faults().ForceEsrBits(0x10, true);
    EXPECT_EQ(rig.Initialize(false, true, "QueryInstrStatus=true"), E_IVI_INSTRUMENT_STATUS);
    EXPECT_FALSE(rig.provider().IsOpen());
    rig.faults().Clear();
    rig.ClearSent();
    ASSERT_EQ(rig.Initialize(false, true, "QueryInstrStatus=true"), S_OK) << ThreadErrorText();
    EXPECT_THAT(rig.Sent(), ElementsAre("*IDN?\n", "*ESR?\n", "*RST;*OPC?\n", "*ESR?\n"));
}

// The way users open a LAN instrument: no port named, the portmapper asked.
TEST(InitializeVxi11, FindsTheCoreChannelThroughThePortmapper) {
    emulator::Options options;
    options.portmapper = true;
    options.portmapperPort = 0;
    DriverOnEmulator rig(Link::Vxi11, options);
    ASSERT_EQ(rig.Initialize(true, false), S_OK) << ThreadErrorText();
    EXPECT_THAT(rig.Sent(), ElementsAre("*IDN?\n"));
}

TEST(InitializeVxi11, TakesTheCorePortFromDriverSetup) {
    IsolatedEnvironment env;
    emulator::Emulator emulator(emulator::test::ServingOnly(emulator::Channel::Vxi11));
    ASSERT_TRUE(emulator::test::Started(emulator));
    Ref<IIviDriver> driver = NewDriver();
    EXPECT_EQ(InitializeDriver(driver.get(), emulator.Vxi11Resource(), true, false,
                               "DriverSetup=Model=Q7310B, VXI11Port=" + std::to_string(emulator.Vxi11Port())),
              S_OK)
        << ThreadErrorText();
    EXPECT_EQ(driver->Close(), S_OK);
}

INSTANTIATE_TEST_SUITE_P(Lan, InitializeIO, ::testing::ValuesIn(kAllLinks), LinkName);

}  // namespace
}  // namespace ztv::test
