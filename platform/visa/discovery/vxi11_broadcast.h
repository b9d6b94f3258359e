// VXI-11 discovery: a portmapper GETPORT call for the VXI-11 core program
// goes out over UDP to every interface's broadcast address, or to one
// address; every portmapper that knows the program answers with its port.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace visa {

struct PortmapperAnswer {
    std::string address;
    std::uint16_t corePort = 0;
};

// `address` empty broadcasts; answers are collected until the time-out, one
// per responder.
std::vector<PortmapperAnswer> AskPortmappers(const std::string& address, std::uint16_t portmapperPort, int timeoutMs);

}  // namespace visa
