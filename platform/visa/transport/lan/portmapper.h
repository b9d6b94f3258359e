// Asking a host's portmapper (port 111) where an RPC program listens.
#pragma once

#include <cstdint>
#include <string>

#include "platform/visa/status.h"
#include "platform/visa/transport/deadline.h"

namespace visa {

Status QueryPortmapper(const std::string& host, std::uint32_t program, std::uint32_t version, Deadline deadline,
                       std::uint16_t* port);

// The port asked instead of 111, for tests whose portmapper cannot bind a
// privileged port; 0 restores the standard one.
void SetPortmapperPort(std::uint16_t port);

}  // namespace visa
