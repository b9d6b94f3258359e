#include "platform/visa/resource_manager.h"

#include "platform/visa/com_error.h"
#include "platform/visa/message_session.h"
#include "platform/visa/open_options.h"
#include "platform/visa/resource_name.h"
#include "platform/visa/transport_factory.h"

namespace visa {

HRESULT ResourceManager::QueryInterface(REFIID riid, void** ppv) {
    if (ppv == nullptr) return E_POINTER;
    if (riid != IID_IUnknown && riid != IID_IResourceManager) {
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    *ppv = static_cast<IResourceManager*>(this);
    AddRef();
    return S_OK;
}

ULONG ResourceManager::AddRef() { return ++references_; }

ULONG ResourceManager::Release() {
    const ULONG left = --references_;
    if (left == 0) delete this;
    return left;
}

HRESULT ResourceManager::Open(BSTR resourceName, AccessMode mode, LONG openTimeout, BSTR options,
                              IVisaSession** session) {
    if (session == nullptr) return ReportError(E_POINTER, "A required pointer argument is null.");
    *session = nullptr;
    ResourceAddress address;
    if (Status status = ParseResourceName(WideToAnsi(BstrView(resourceName)), &address); !status.ok()) {
        return ReportError(status);
    }
    const OpenOptions parsed = OpenOptions::Parse(WideToAnsi(BstrView(options)));
    const Deadline deadline = Deadline::After(openTimeout == 0 ? kDefaultOpenTimeoutMs : openTimeout);
    std::unique_ptr<Transport> transport;
    if (Status status = OpenTransport(address, parsed, (mode & EXCLUSIVE_LOCK) != 0, deadline, &transport);
        !status.ok()) {
        return ReportError(status);
    }
    *session = static_cast<IMessage*>(MessageSession::Create(std::move(transport), address));
    return S_OK;
}

}  // namespace visa
