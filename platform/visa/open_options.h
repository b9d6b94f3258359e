// The option string given to IResourceManager::Open: "Key=Value" entries
// separated by ',' or ';', keys without regard to letter case. Keys this
// layer does not know are ignored, as VISA-COM does.
//   VXI11Port=N    VXI-11 core channel port (else $ZENTRAVA_VXI11_PORT, else the portmapper)
//   HiSLIPPort=N   HiSLIP port (else the ",port" of the resource, else $ZENTRAVA_HISLIP_PORT, else 4880)
//   GPIBAdapter=R  the Prologix adapter of GPIB resources (else $ZENTRAVA_GPIB<board>),
//                  R being its serial port or LAN socket resource
//   BaudRate, DataBits, Parity, StopBits, FlowControl   serial line settings
//   Record=PATH    every exchange of the session written to PATH (JSON lines)
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/visa/status.h"

namespace visa {

class OpenOptions {
public:
    static OpenOptions Parse(std::string_view text);

    std::optional<std::string> Get(std::string_view key) const;
    // A port from the key, else from the environment variable; malformed values fail.
    Status Port(std::string_view key, const char* environmentVariable, std::optional<std::uint16_t>* port) const;

private:
    std::vector<std::pair<std::string, std::string>> entries_;
};

}  // namespace visa
