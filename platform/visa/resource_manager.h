// The resource manager: parses the resource string, opens the transport
// that serves it and hands out a message-based session.
#pragma once

#include "platform/visa/visacom.h"
#include "zentrava/raii.h"

namespace visa {

class ResourceManager final
    : public com::ComObject<ResourceManager, com::Implements<IResourceManager, IID_IResourceManager>> {
public:
    static constexpr LONG kDefaultOpenTimeoutMs = 2000;

    // Comes back with one reference held by the caller.
    static ResourceManager* Create() { return new ResourceManager(); }

    // openTimeout bounds connecting and handshakes (0 means the default of
    // 2000 ms, -1 waits forever); an EXCLUSIVE_LOCK mode locks the device
    // where the protocol can (VXI-11, system VISA).
    HRESULT Open(BSTR resourceName, AccessMode mode, LONG openTimeout, BSTR options, IVisaSession** session) override;

private:
    ResourceManager() = default;
    ~ResourceManager() override = default;
};

}  // namespace visa
