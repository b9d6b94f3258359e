// VISA resource strings, parsed without regard to letter case:
//   TCPIP[board]::host[::lan device]::INSTR     VXI-11 (device inst0 by default)
//   TCPIP[board]::host::hislipN[,port]::INSTR   HiSLIP (port 4880 by default)
//   TCPIP[board]::host::port::SOCKET            raw socket
//   USB[board]::vid::pid::serial[::intf]::INSTR USBTMC
//   ASRLn::INSTR, ASRL/dev/...::INSTR          serial line (ASRL1 is /dev/ttyS0)
//   GPIB[board]::primary[::secondary]::INSTR    through the board's Prologix adapter, else a system VISA library
//   VXI, GPIB-VXI and PXI resources             handed to a system VISA library as written
// The trailing ::INSTR may be left out, as VISA allows.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/visa/status.h"

namespace visa {

enum class ResourceKind { Vxi11, HiSlip, Socket, Usbtmc, Serial, Gpib, SystemOnly };

struct ResourceAddress {
    ResourceKind kind = ResourceKind::Vxi11;
    HardwareInterfaceType interfaceType = INTF_TCPIP;
    int board = 0;
    std::string canonicalName;  // "TCPIP0::10.0.0.7::inst0::INSTR"

    // TCPIP
    std::string host;                   // brackets of an IPv6 literal removed
    std::string lanDevice;              // "inst0", "gpib0,5", "hislip0"
    std::optional<std::uint16_t> port;  // SOCKET port, or the ",port" of a HiSLIP device

    // USB
    std::uint16_t vendorId = 0;
    std::uint16_t productId = 0;
    std::string serialNumber;
    std::optional<int> usbInterface;

    // ASRL
    std::string devicePath;  // "/dev/ttyS0"

    // GPIB
    int primaryAddress = 0;
    std::optional<int> secondaryAddress;
};

Status ParseResourceName(std::string_view text, ResourceAddress* out);

}  // namespace visa
