#include "platform/visa/resource_manager.h"

#include "platform/visa/com_error.h"
#include "platform/visa/message_session.h"
#include "platform/visa/open_options.h"
#include "platform/visa/resource_name.h"
#include "platform/visa/transport/recording_transport.h"
#include "platform/visa/transport/transport_factory.h"

namespace visa {

HRESULT ResourceManager::Open(BSTR resourceName, AccessMode mode, LONG openTimeout, BSTR options,
                              IVisaSession** session) {
    if (session == nullptr) return ReportHresult(E_POINTER, "A required pointer argument is null.");
    *session = nullptr;
    ResourceAddress address;
    if (Status status = ParseResourceName(WideToUtf8(BstrView(resourceName)), &address); !status.ok()) {
        return ReportHresult(status);
    }
    const OpenOptions parsed = OpenOptions::Parse(WideToUtf8(BstrView(options)));
    const Deadline deadline = Deadline::After(openTimeout == 0 ? kDefaultOpenTimeoutMs : openTimeout);
    std::unique_ptr<Transport> transport;
    if (Status status = OpenTransport(address, parsed, (mode & EXCLUSIVE_LOCK) != 0, deadline, &transport);
        !status.ok()) {
        return ReportHresult(status);
    }
    if (const std::optional<std::string> record = parsed.Get("Record"); record && !record->empty()) {
        if (Status status =
                RecordingTransport::Wrap(std::move(transport), *record, WideToUtf8(BstrView(resourceName)), &transport);
            !status.ok()) {
            return ReportHresult(status);
        }
    }
    *session = static_cast<IMessage*>(MessageSession::Create(std::move(transport), address));
    return S_OK;
}

}  // namespace visa
