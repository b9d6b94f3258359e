#include "platform/visa/resource_name.h"

#include <gtest/gtest.h>

#include <ostream>

namespace visa {
namespace {

struct ValidCase {
    const char* text;
    ResourceKind kind;
    HardwareInterfaceType type;
    const char* canonical;
};

// Names each case by its text in test listings.
void PrintTo(const ValidCase& c, std::ostream* os) { *os << '"' << c.text << '"'; }

class ValidResourceName : public ::testing::TestWithParam<ValidCase> {};

TEST_P(ValidResourceName, ParsesToCanonicalForm) {
    const ValidCase& c = GetParam();
    ResourceAddress address;
    const Status status = ParseResourceName(c.text, &address);
    ASSERT_TRUE(status.ok()) << status.text;
    EXPECT_EQ(address.kind, c.kind);
    EXPECT_EQ(address.interfaceType, c.type);
    EXPECT_EQ(address.canonicalName, c.canonical);
}

INSTANTIATE_TEST_SUITE_P(
    Table, ValidResourceName,
    ::testing::Values(
        ValidCase{"TCPIP0::10.0.0.7::inst0::INSTR", ResourceKind::Vxi11, INTF_TCPIP, "TCPIP0::10.0.0.7::inst0::INSTR"},
        ValidCase{"tcpip::10.0.0.7::instr", ResourceKind::Vxi11, INTF_TCPIP, "TCPIP0::10.0.0.7::inst0::INSTR"},
        ValidCase{"TCPIP::host.lab", ResourceKind::Vxi11, INTF_TCPIP, "TCPIP0::host.lab::inst0::INSTR"},
        ValidCase{"TCPIP2::10.0.0.7::gpib0,5::INSTR", ResourceKind::Vxi11, INTF_TCPIP,
                  "TCPIP2::10.0.0.7::gpib0,5::INSTR"},
        ValidCase{"TCPIP::10.0.0.7::HiSLIP0::INSTR", ResourceKind::HiSlip, INTF_TCPIP,
                  "TCPIP0::10.0.0.7::HiSLIP0::INSTR"},
        ValidCase{"TCPIP::[::1]::hislip0,4881::INSTR", ResourceKind::HiSlip, INTF_TCPIP,
                  "TCPIP0::[::1]::hislip0,4881::INSTR"},
        ValidCase{"TCPIP0::10.0.0.7::5025::SOCKET", ResourceKind::Socket, INTF_TCPIP, "TCPIP0::10.0.0.7::5025::SOCKET"},
        ValidCase{"usb0::0x0957::0x1A07::MY123::INSTR", ResourceKind::Usbtmc, INTF_USB,
                  "USB0::0x0957::0x1A07::MY123::INSTR"},
        ValidCase{"USB::2391::6663::MY123::1::INSTR", ResourceKind::Usbtmc, INTF_USB,
                  "USB0::0x0957::0x1A07::MY123::1::INSTR"},
        ValidCase{"USB0::0x0957::0x1A07::INSTR", ResourceKind::Usbtmc, INTF_USB, "USB0::0x0957::0x1A07::INSTR"},
        ValidCase{"ASRL3::INSTR", ResourceKind::Serial, INTF_ASRL, "ASRL3::INSTR"},
        ValidCase{"ASRL/dev/ttyUSB0::INSTR", ResourceKind::Serial, INTF_ASRL, "ASRL/dev/ttyUSB0::INSTR"},
        ValidCase{"GPIB0::17::INSTR", ResourceKind::Gpib, INTF_GPIB, "GPIB0::17::INSTR"},
        ValidCase{"gpib1::5::100", ResourceKind::Gpib, INTF_GPIB, "GPIB1::5::4::INSTR"},
        ValidCase{"GPIB-VXI0::8::INSTR", ResourceKind::SystemOnly, INTF_GPIB_VXI, "GPIB-VXI0::8::INSTR"},
        ValidCase{"PXI0::3-18.0::INSTR", ResourceKind::SystemOnly, INTF_PXI, "PXI0::3-18.0::INSTR"}));

TEST(ResourceName, KeepsAddressParts) {
    ResourceAddress address;
    ASSERT_TRUE(ParseResourceName("TCPIP::[fe80::1]::hislip2,4999::INSTR", &address).ok());
    EXPECT_EQ(address.host, "fe80::1");
    EXPECT_EQ(address.lanDevice, "hislip2");
    EXPECT_EQ(address.port, 4999);

    ASSERT_TRUE(ParseResourceName("ASRL2::INSTR", &address).ok());
    EXPECT_EQ(address.devicePath, "/dev/ttyS1");

    ASSERT_TRUE(ParseResourceName("USB::0x0957::0x1a07::my123::3::INSTR", &address).ok());
    EXPECT_EQ(address.vendorId, 0x0957);
    EXPECT_EQ(address.productId, 0x1A07);
    EXPECT_EQ(address.serialNumber, "my123");
    EXPECT_EQ(address.usbInterface, 3);

    ASSERT_TRUE(ParseResourceName("TCPIP::10.1.2.3::5025::SOCKET", &address).ok());
    EXPECT_EQ(address.port, 5025);
    // Without SOCKET a number is a LAN device name, as VISA reads it.
    ASSERT_TRUE(ParseResourceName("TCPIP::10.1.2.3::5025", &address).ok());
    EXPECT_EQ(address.kind, ResourceKind::Vxi11);
    EXPECT_EQ(address.lanDevice, "5025");
}

TEST(ResourceName, UsbRawIsRefusedAsUnsupportedNotMalformed) {
    ResourceAddress address;
    const Status status = ParseResourceName("USB0::0x0957::0x1A07::MY123::RAW", &address);
    EXPECT_EQ(status.code, E_VISA_NSUP_OPER);
    EXPECT_EQ(status.text,
              "The resource \"USB0::0x0957::0x1A07::MY123::RAW\" is a USB RAW session, which this driver does not "
              "use: it talks to USBTMC instruments, USB::vid::pid::serial[::intf]::INSTR.");
}

class MalformedResourceName : public ::testing::TestWithParam<const char*> {};

TEST_P(MalformedResourceName, IsRejectedWithReason) {
    ResourceAddress address;
    const Status status = ParseResourceName(GetParam(), &address);
    EXPECT_EQ(status.code, E_VISA_INV_RSRC_NAME);
    EXPECT_NE(status.text.find(GetParam()), std::string::npos) << status.text;
}

INSTANTIATE_TEST_SUITE_P(Table, MalformedResourceName,
                         ::testing::Values("", "   ", "FOO0::1::INSTR", "TCPIP", "TCPIP::::INSTR",
                                           "TCPIPx::host::INSTR", "TCPIP::host::0::SOCKET",
                                           "TCPIP::host::70000::SOCKET", "TCPIP::host::abc::SOCKET",
                                           "TCPIP::host::a::b::INSTR", "TCPIP::host::hislip::INSTR",
                                           "TCPIP::host::hislip0,0::INSTR", "TCPIP::host::hislip0,x::INSTR",
                                           "USB::0x0957::INSTR", "USB::0x10000::0x1::SN::INSTR",
                                           "USB::0x0957::0x1::SN::300::INSTR", "USB::zz::0x1::SN::INSTR", "ASRL::INSTR",
                                           "ASRL0::INSTR", "ASRL1::2::INSTR", "GPIB::31::INSTR", "GPIB::5::50::INSTR",
                                           "GPIB::INSTR", "TCPIP::host::::INSTR", "VXI0"));

}  // namespace
}  // namespace visa
