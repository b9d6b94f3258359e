// Every resource this process could open now, one source per kind of link.
// Options use the open-option syntax ("Key=Value", ',' or ';' between):
//   SysfsRoot=DIR     where USBTMC devices are found (/sys)
//   SerialRoot=DIR    where serial ports are named (/dev/serial/by-id)
//   ProbeTimeout=MS   how long each GPIB address may take to answer (100)
//   GPIBAdapter=R     binds board 0 as at open; $ZENTRAVA_GPIB<n> binds board n
//   DiscoveryTimeout=MS  how long LAN discovery (mDNS and VXI-11) waits (2000; 0: no LAN)
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/visa/open_options.h"

namespace visa {

struct ListedResource {
    std::string resource;
    std::string identity;  // the "*IDN?" reply; empty where nothing was asked or nothing answered
};

// The serial ports under `root`, by their stable names; not written to, as
// a serial line may carry anything.
std::vector<ListedResource> ListSerialPorts(const std::string& root);
// The USBTMC devices under a sysfs root; not opened, as a device node may be
// root's alone until a udev rule grants it.
std::vector<ListedResource> ListUsbtmcDevices(const std::string& sysRoot);
// The LAN instruments discovery finds within timeoutMs, every resource each offers.
std::vector<ListedResource> ListLanInstruments(int timeoutMs);
// The listeners at addresses 1-30 of every bound GPIB board, with identities.
std::vector<ListedResource> ListGpibListeners(const OpenOptions& options);
// Every source in turn: USBTMC devices, serial ports, GPIB listeners, LAN instruments.
std::vector<ListedResource> ListResources(const OpenOptions& options);

// One resource a line, its identity after a tab where there is one.
std::string FormatResourceList(const std::vector<ListedResource>& resources);

}  // namespace visa
