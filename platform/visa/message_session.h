// A message-based VISA session over one transport: the VISA attributes
// (time-out, termination character and its enable, send END) applied to
// every transfer, with failures reported as error objects.
#pragma once

#include <memory>
#include <mutex>
#include <string>

#include "platform/visa/message_read_end.h"
#include "platform/visa/resource_name.h"
#include "platform/visa/service_request_wait.h"
#include "platform/visa/transport/transport.h"
#include "zentrava/raii.h"

namespace visa {

class MessageSession final
    : public com::ComObject<MessageSession, com::Implements<IMessage, IID_IMessage, IID_IVisaSession>,
                            com::Implements<IMessageReadEnd, IID_IMessageReadEnd>,
                            com::Implements<IServiceRequestWait, IID_IServiceRequestWait>> {
public:
    // Comes back with one reference held by the caller.
    static MessageSession* Create(std::unique_ptr<Transport> transport, const ResourceAddress& address);

    HRESULT get_ResourceName(BSTR* name) override;
    HRESULT get_HardwareInterfaceType(SHORT* type) override;
    HRESULT get_Timeout(LONG* ms) override;
    HRESULT put_Timeout(LONG ms) override;
    HRESULT Close() override;

    HRESULT Read(LONG count, SAFEARRAY** bytes) override;
    HRESULT ReadString(LONG count, BSTR* text) override;
    HRESULT Write(SAFEARRAY* bytes, LONG* written) override;
    HRESULT WriteString(BSTR text, LONG* written) override;
    HRESULT Clear() override;
    HRESULT ReadSTB(SHORT* statusByte) override;
    HRESULT AssertTrigger() override;
    HRESULT get_TerminationCharacter(BYTE* c) override;
    HRESULT put_TerminationCharacter(BYTE c) override;
    HRESULT get_TerminationCharacterEnabled(VARIANT_BOOL* on) override;
    HRESULT put_TerminationCharacterEnabled(VARIANT_BOOL on) override;
    HRESULT get_SendEndEnabled(VARIANT_BOOL* on) override;
    HRESULT put_SendEndEnabled(VARIANT_BOOL on) override;
    HRESULT ReadBytes(void* buffer, LONG count, LONG* actual) override;
    HRESULT WriteBytes(const void* buffer, LONG count, LONG* written) override;

    HRESULT ReadBytesWithStop(void* buffer, LONG count, LONG* actual, ReadStop* stop) override;
    HRESULT get_CarriesEnd(VARIANT_BOOL* carried) override;
    HRESULT WaitForServiceRequest(LONG timeoutMs, SHORT* statusByte) override;

private:
    MessageSession(std::unique_ptr<Transport> transport, const ResourceAddress& address);
    ~MessageSession() override = default;

    // Callers hold mutex_.
    HRESULT ReadLocked(void* buffer, LONG count, LONG* actual, ReadStop* stop);
    HRESULT WriteLocked(const void* buffer, LONG count, LONG* written);
    HRESULT Closed() const;
    Deadline NextDeadline() const { return Deadline::After(timeoutMs_); }

    // The attribute table (message_session.cpp): one row per attribute, read
    // and set under mutex_ by one body each.
    template <class Stored>
    struct Attribute;
    struct Attributes;
    template <class Stored, class Value>
    HRESULT GetAttribute(const Attribute<Stored>& row, Value* value);
    template <class Stored, class Value>
    HRESULT PutAttribute(const Attribute<Stored>& row, Value value);

    std::mutex mutex_;
    std::unique_ptr<Transport> transport_;
    // Lets Close reach a service-request wait, which holds mutex_ throughout.
    std::mutex waitMutex_;
    Transport* waiting_ = nullptr;
    bool closing_ = false;
    const std::string resourceName_;
    const HardwareInterfaceType interfaceType_;
    LONG timeoutMs_ = 2000;
    BYTE termChar_ = '\n';
    bool termCharEnabled_ = false;
    bool sendEnd_ = true;
};

}  // namespace visa
