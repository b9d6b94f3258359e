#include "platform/visa/transport/transport_factory.h"

#include "platform/protocol/hislip_message.h"
#include "platform/visa/transport/gpib/prologix_transport.h"
#include "platform/visa/transport/lan/hislip_transport.h"
#include "platform/visa/transport/lan/socket_transport.h"
#include "platform/visa/transport/lan/vxi11_transport.h"
#include "platform/visa/transport/serial/serial_transport.h"
#include "platform/visa/transport/system/system_visa_transport.h"
#include "platform/visa/transport/usb/usbtmc_transport.h"

namespace visa {
namespace {

Status OpenThroughSystemVisa(const ResourceAddress& address, bool exclusiveLock, Deadline deadline,
                             std::unique_ptr<Transport>* transport) {
    std::shared_ptr<SystemVisaLibrary> library;
    if (Status status = SystemVisaLibrary::Load(&library); !status.ok()) {
        return Status::Fail(status.code, address.canonicalName + " needs a system VISA library. " + status.text);
    }
    return SystemVisaTransport::Open(std::move(library), address.canonicalName, exclusiveLock, deadline, transport);
}

Status OpenUsb(const ResourceAddress& address, bool exclusiveLock, Deadline deadline, const UsbtmcHost& host,
               std::unique_ptr<Transport>* transport) {
    const UsbtmcQuery query{address.vendorId, address.productId, address.serialNumber, address.usbInterface};
    const Status opened = UsbtmcTransport::Open(host, query, exclusiveLock, deadline, transport);
    if (opened.ok() || opened.code != E_VISA_RSRC_NFOUND) return opened;
    // A vendor VISA may reach devices the kernel driver does not hold.
    Status viaSystem = OpenThroughSystemVisa(address, exclusiveLock, deadline, transport);
    if (viaSystem.ok() || viaSystem.code != E_VISA_LIBRARY_NFOUND) return viaSystem;
    return opened;
}

}  // namespace

Status OpenTransport(const ResourceAddress& address, const OpenOptions& options, bool exclusiveLock, Deadline deadline,
                     std::unique_ptr<Transport>* transport) {
    switch (address.kind) {
        case ResourceKind::Socket:
            return SocketTransport::Open(address.host, *address.port, deadline, transport);
        case ResourceKind::Vxi11: {
            std::optional<std::uint16_t> port;
            if (Status status = options.Port("VXI11Port", "ZENTRAVA_VXI11_PORT", &port); !status.ok()) return status;
            return Vxi11Transport::Open(address.host, port, address.lanDevice, exclusiveLock, deadline, transport);
        }
        case ResourceKind::HiSlip: {
            std::optional<std::uint16_t> port = address.port;
            if (!port) {
                if (Status status = options.Port("HiSLIPPort", "ZENTRAVA_HISLIP_PORT", &port); !status.ok()) {
                    return status;
                }
            }
            return HislipTransport::Open(address.host, port.value_or(hislip::kDefaultPort), address.lanDevice, deadline,
                                         transport);
        }
        case ResourceKind::Usbtmc:
            return OpenUsb(address, exclusiveLock, deadline, CurrentUsbtmcHost(), transport);
        case ResourceKind::Serial: {
            SerialSettings settings;
            if (Status status = ParseSerialSettings(options, &settings); !status.ok()) return status;
            return SerialTransport::Open(address.devicePath, settings, transport);
        }
        case ResourceKind::Gpib:
            if (const std::optional<std::string> adapter = GpibAdapterOf(address.board, options)) {
                return PrologixTransport::Open(address, *adapter, options, deadline, transport);
            }
            return OpenThroughSystemVisa(address, exclusiveLock, deadline, transport);
        case ResourceKind::SystemOnly:
            return OpenThroughSystemVisa(address, exclusiveLock, deadline, transport);
    }
    return Status::Fail(E_VISA_INV_RSRC_NAME, "Unsupported resource " + address.canonicalName + ".");
}

}  // namespace visa
