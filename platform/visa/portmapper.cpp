#include "platform/visa/portmapper.h"

#include <rpc/rpc.h>
#include <rpc/pmap_prot.h>

#include "platform/visa/rpc_client.h"

namespace visa {

Status QueryPortmapper(const std::string& host, std::uint32_t program, std::uint32_t version, Deadline deadline,
                       std::uint16_t* port) {
    RpcClient portmapper;
    if (Status status = portmapper.Connect(host, PMAPPORT, PMAPPROG, PMAPVERS, deadline); !status.ok()) {
        return Status::Fail(status.code,
                            "No portmapper answered; name the VXI-11 port with VXI11Port or ZENTRAVA_VXI11_PORT.");
    }
    pmap query{program, version, IPPROTO_TCP, 0};
    u_long found = 0;
    portmapper.SetCallTimeout(deadline.RemainingMilliseconds());
    const timeval unused{};
    const clnt_stat outcome =
        clnt_call(portmapper.get(), PMAPPROC_GETPORT, reinterpret_cast<xdrproc_t>(xdr_pmap),
                  reinterpret_cast<char*>(&query), reinterpret_cast<xdrproc_t>(xdr_u_long),
                  reinterpret_cast<char*>(&found), unused);
    if (Status status = portmapper.Check(outcome, "portmapper GETPORT"); !status.ok()) return status;
    if (found == 0 || found > 65535) {
        return Status::Fail(E_VISA_RSRC_NFOUND, "The portmapper of " + host + " knows no VXI-11 server.");
    }
    *port = static_cast<std::uint16_t>(found);
    return Status::Ok();
}

}  // namespace visa
