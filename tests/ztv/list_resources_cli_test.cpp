// ztv list-resources as a process: serial ports from a stand-in by-id tree
// and the listener behind an emulated GPIB-USB adapter bound by the
// environment, aligned with its identity.
#include <gtest/gtest.h>

#include <fstream>

#include "emulator/emulator.h"
#include "tests/support/emulator_support.h"
#include "tests/support/test_support.h"
#include "tests/ztv/tool_process.h"

namespace ztv::test {
namespace {

TEST(ZtvListResources, PrintsSerialPortsAndGpibListenersWithIdentities) {
    emulator::Options options;
    options.socketPort = options.vxi11Port = options.hislipPort = -1;
    options.prologixPty = true;
    options.gpibAddress = 4;
    emulator::Emulator instrument(options);
    ASSERT_TRUE(emulator::test::Started(instrument));
    TempDir serial;
    std::ofstream(serial.file("usb-Prologix_GPIB-USB-if00-port0")).put('\n');

    const ToolResult r = RunTool({"list-resources", "--probe-timeout", "20", "--discovery-timeout", "0", "--sysfs-root",
                                  serial.path().string() + "/nosys", "--serial-root", serial.path().string()},
                                 "", {"ZENTRAVA_GPIB2=" + instrument.PrologixPtyResource()});
    ASSERT_EQ(r.exit, 0) << r.err;
    const std::string port = "ASRL" + serial.file("usb-Prologix_GPIB-USB-if00-port0") + "::INSTR";
    const std::string gpib = "GPIB2::4::INSTR";
    EXPECT_EQ(r.out, port + "\n" + gpib + std::string(port.size() - gpib.size(), ' ') +
                         "  Orvane Technologies,Q7310B,0123456789,1.0.9\n");
}

}  // namespace
}  // namespace ztv::test
