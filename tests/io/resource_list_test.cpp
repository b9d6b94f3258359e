// The list of what can be opened: serial ports from a stand-in by-id tree,
// the listeners behind emulated GPIB adapters with their identities, and the
// C face's buffer convention.
#include "platform/visa/resource_list.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "emulator/emulator.h"
#include "tests/support/emulator_support.h"
#include "tests/support/test_support.h"
#include "zentrava/Zentrava.h"
#include "zentrava/resources.hpp"

namespace ztv::test {
namespace {

using ::testing::ElementsAre;
using visa::ListedResource;

MATCHER_P2(Listed, resource, identity, "") { return arg.resource == resource && arg.identity == identity; }

constexpr char kIdentity[] = "Orvane Technologies,Q7310B,0123456789,1.0.9";

emulator::Options AdapterOnly(int gpibAddress) {
    emulator::Options options;
    options.socketPort = options.vxi11Port = options.hislipPort = -1;
    options.prologixPort = 0;
    options.gpibAddress = gpibAddress;
    return options;
}

TEST(ResourceList, SerialPortsAreListedByTheirStableNames) {
    TempDir root;
    for (const char* name : {"usb-Prologix_GPIB-USB_PX9-if00-port0", "usb-FTDI_FT232R_A1-if00-port0"}) {
        std::ofstream(root.file(name)).put('\n');
    }
    EXPECT_THAT(visa::ListSerialPorts(root.path().string()),
                ElementsAre(Listed("ASRL" + root.file("usb-FTDI_FT232R_A1-if00-port0") + "::INSTR", ""),
                            Listed("ASRL" + root.file("usb-Prologix_GPIB-USB_PX9-if00-port0") + "::INSTR", "")));
    EXPECT_TRUE(visa::ListSerialPorts(root.file("absent")).empty());
}

TEST(ResourceList, EachBoundBoardShowsItsListenersWithIdentities) {
    emulator::Emulator first(AdapterOnly(7));
    emulator::Emulator second(AdapterOnly(22));
    ASSERT_TRUE(emulator::test::Started(first));
    ASSERT_TRUE(emulator::test::Started(second));
    ScopedEnv board1("ZENTRAVA_GPIB1", second.PrologixSocketResource());
    // The option binds board 0.
    const visa::OpenOptions options =
        visa::OpenOptions::Parse("ProbeTimeout=20;GPIBAdapter=" + first.PrologixSocketResource());
    EXPECT_THAT(visa::ListGpibListeners(options),
                ElementsAre(Listed("GPIB0::7::INSTR", kIdentity), Listed("GPIB1::22::INSTR", kIdentity)));
    // Set up once for the whole probe, not once per address.
    const std::string sent = first.PrologixInput();
    EXPECT_NE(sent.find("++ifc"), std::string::npos);
    EXPECT_EQ(sent.find("++ifc"), sent.rfind("++ifc"));
}

TEST(ResourceList, ABoardWithoutAdapterIsLeftOutAtOnce) {
    emulator::Emulator instrument(emulator::test::ServingOnly(emulator::Channel::Socket));
    ASSERT_TRUE(emulator::test::Started(instrument));
    ScopedEnv board("ZENTRAVA_GPIB3", instrument.SocketResource());
    EXPECT_TRUE(visa::ListGpibListeners(visa::OpenOptions::Parse("ProbeTimeout=20")).empty());
    // Only the "++ver" that found no adapter reached the instrument.
    ASSERT_EQ(instrument.Received().size(), 1u);
    EXPECT_EQ(instrument.Received()[0].bytes, "++ver\n");
}

TEST(ResourceList, TheCFaceFollowsTheStringConvention) {
    emulator::Emulator instrument(AdapterOnly(17));
    ASSERT_TRUE(emulator::test::Started(instrument));
    TempDir serial;
    std::ofstream(serial.file("usb-Serial-if00")).put('\n');
    const std::string options = "ProbeTimeout=20,DiscoveryTimeout=0,SysfsRoot=" + serial.path().string() +
                                "/nosys,SerialRoot=" + serial.path().string() +
                                ",GPIBAdapter=" + instrument.PrologixSocketResource();
    const std::string expected =
        "ASRL" + serial.file("usb-Serial-if00") + "::INSTR\nGPIB0::17::INSTR\t" + kIdentity + "\n";

    const ViInt32 needed = Ztv_ListResources(options.c_str(), 0, nullptr);
    EXPECT_EQ(needed, static_cast<ViInt32>(expected.size() + 1));
    char small[8];
    EXPECT_EQ(Ztv_ListResources(options.c_str(), sizeof small, small), needed);
    EXPECT_EQ(std::string(small), expected.substr(0, sizeof small - 1));
    std::string all(static_cast<std::size_t>(needed), '\0');
    EXPECT_EQ(Ztv_ListResources(options.c_str(), needed, all.data()), 0);
    EXPECT_EQ(all.c_str(), expected);

    const std::vector<zentrava::ListedResource> parsed = zentrava::list_resources(options);
    ASSERT_EQ(parsed.size(), 2u);
    EXPECT_EQ(parsed[1].resource, "GPIB0::17::INSTR");
    EXPECT_EQ(parsed[1].identity, kIdentity);
    EXPECT_EQ(parsed[0].identity, "");
}

}  // namespace
}  // namespace ztv::test
