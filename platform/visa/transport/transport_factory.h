// Chooses and opens the transport that serves a parsed resource.
#pragma once

#include <memory>

#include "platform/visa/open_options.h"
#include "platform/visa/resource_name.h"
#include "platform/visa/transport/deadline.h"
#include "platform/visa/transport/transport.h"

namespace visa {

Status OpenTransport(const ResourceAddress& address, const OpenOptions& options, bool exclusiveLock, Deadline deadline,
                     std::unique_ptr<Transport>* transport);

}  // namespace visa
