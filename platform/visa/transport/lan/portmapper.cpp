#include "platform/visa/transport/lan/portmapper.h"

// pmap_prot.h needs the types rpc.h declares first.
// clang-format off
#include <rpc/rpc.h>
#include <rpc/pmap_prot.h>
// clang-format on

#include <atomic>

#include "platform/visa/transport/lan/rpc_client.h"
#include "platform/visa/transport/lan/tcp_connect.h"

namespace visa {
namespace {

std::atomic<std::uint16_t> portmapperPort{PMAPPORT};

}  // namespace

void SetPortmapperPort(std::uint16_t port) { portmapperPort = port != 0 ? port : PMAPPORT; }

Status QueryPortmapper(const std::string& host, std::uint32_t program, std::uint32_t version, Deadline deadline,
                       std::uint16_t* port) {
    RpcClient portmapper;
    if (Status status = portmapper.Connect(host, portmapperPort.load(), PMAPPROG, PMAPVERS, deadline); !status.ok()) {
        // The advice is for a host that is there; a name that does not
        // resolve is said as such.
        if (IsUnresolvedHost(status)) return status;
        return Status::Fail(status.code,
                            "No portmapper answered; name the VXI-11 port with VXI11Port or ZENTRAVA_VXI11_PORT.");
    }
    pmap query{program, version, IPPROTO_TCP, 0};
    u_long found = 0;
    portmapper.SetCallTimeout(deadline.RemainingMilliseconds());
    if (Status status =
            portmapper.Call(PMAPPROC_GETPORT, Xdr(xdr_pmap), &query, Xdr(xdr_u_long), &found, "portmapper GETPORT");
        !status.ok()) {
        return status;
    }
    if (found == 0 || found > 65535) {
        return Status::Fail(E_VISA_RSRC_NFOUND, "The portmapper of " + host + " knows no VXI-11 server.");
    }
    *port = static_cast<std::uint16_t>(found);
    return Status::Ok();
}

}  // namespace visa
