#include "platform/visa/message_session.h"

#include <cstring>
#include <string>
#include <type_traits>
#include <vector>

#include "platform/visa/com_error.h"

namespace visa {
namespace {

HRESULT NullArgument() { return ReportHresult(E_POINTER, "A required pointer argument is null."); }

HRESULT NegativeCount() { return ReportHresult(E_INVALIDARG, "The byte count must not be negative."); }

bool IsValidTimeout(LONG ms) { return ms >= kInfiniteTimeout; }

// The COM face passes flags as VARIANT_BOOL; the session keeps them as bool.
template <class Value, class Stored>
Value ToInterface(Stored stored) {
    if constexpr (std::is_same_v<Stored, bool>) {
        return stored ? VARIANT_TRUE : VARIANT_FALSE;
    } else {
        return stored;
    }
}

template <class Stored, class Value>
Stored FromInterface(Value value) {
    if constexpr (std::is_same_v<Stored, bool>) {
        return value != VARIANT_FALSE;
    } else {
        return value;
    }
}

}  // namespace

// One attribute: where the session keeps it and which values it takes.
template <class Stored>
struct MessageSession::Attribute {
    Stored MessageSession::*member;
    bool (*accepts)(Stored) = nullptr;  // none: every value
    const char* rejection = nullptr;
};

struct MessageSession::Attributes {
    static constexpr Attribute<LONG> kTimeout{&MessageSession::timeoutMs_, IsValidTimeout,
                                              "The time-out is milliseconds from 0, or -1 to wait forever."};
    static constexpr Attribute<BYTE> kTermChar{&MessageSession::termChar_};
    static constexpr Attribute<bool> kTermCharEnabled{&MessageSession::termCharEnabled_};
    static constexpr Attribute<bool> kSendEnd{&MessageSession::sendEnd_};
};

template <class Stored, class Value>
HRESULT MessageSession::GetAttribute(const Attribute<Stored>& row, Value* value) {
    if (value == nullptr) return NullArgument();
    std::lock_guard lock(mutex_);
    *value = ToInterface<Value>(this->*row.member);
    return S_OK;
}

template <class Stored, class Value>
HRESULT MessageSession::PutAttribute(const Attribute<Stored>& row, Value value) {
    const Stored stored = FromInterface<Stored>(value);
    if (row.accepts != nullptr && !row.accepts(stored)) return ReportHresult(E_INVALIDARG, row.rejection);
    std::lock_guard lock(mutex_);
    this->*row.member = stored;
    return S_OK;
}

MessageSession::MessageSession(std::unique_ptr<Transport> transport, const ResourceAddress& address)
    : transport_(std::move(transport)), resourceName_(address.canonicalName), interfaceType_(address.interfaceType) {}

MessageSession* MessageSession::Create(std::unique_ptr<Transport> transport, const ResourceAddress& address) {
    return new MessageSession(std::move(transport), address);
}

HRESULT MessageSession::Closed() const { return ReportHresult(E_VISA_INV_OBJECT, "The session is closed."); }

HRESULT MessageSession::get_ResourceName(BSTR* name) {
    if (name == nullptr) return NullArgument();
    *name = Utf8ToBstr(resourceName_);
    return *name != nullptr ? S_OK : E_OUTOFMEMORY;
}

HRESULT MessageSession::get_HardwareInterfaceType(SHORT* type) {
    if (type == nullptr) return NullArgument();
    *type = interfaceType_;
    return S_OK;
}

HRESULT MessageSession::get_Timeout(LONG* ms) { return GetAttribute(Attributes::kTimeout, ms); }

HRESULT MessageSession::put_Timeout(LONG ms) { return PutAttribute(Attributes::kTimeout, ms); }

HRESULT MessageSession::Close() {
    {
        std::lock_guard lock(waitMutex_);
        closing_ = true;
        if (waiting_ != nullptr) waiting_->Interrupt();
    }
    std::unique_ptr<Transport> closing;
    {
        std::lock_guard lock(mutex_);
        closing = std::move(transport_);
    }
    return S_OK;
}

HRESULT MessageSession::ReadLocked(void* buffer, LONG count, LONG* actual, ReadStop* stop) {
    *actual = 0;
    if (!transport_) return Closed();
    const ReadRequest request{static_cast<std::uint8_t*>(buffer), static_cast<std::size_t>(count), termCharEnabled_,
                              termChar_};
    ReadResult result;
    if (Status status = transport_->Read(request, NextDeadline(), &result); !status.ok()) return ReportHresult(status);
    *actual = static_cast<LONG>(result.count);
    *stop = result.end == ReadEnd::End        ? READ_STOP_END
            : result.end == ReadEnd::TermChar ? READ_STOP_TERMCHAR
                                              : READ_STOP_COUNT;
    return S_OK;
}

HRESULT MessageSession::WriteLocked(const void* buffer, LONG count, LONG* written) {
    *written = 0;
    if (!transport_) return Closed();
    const Status status = transport_->Write(static_cast<const std::uint8_t*>(buffer), static_cast<std::size_t>(count),
                                            sendEnd_, NextDeadline());
    if (!status.ok()) return ReportHresult(status);
    *written = count;
    return S_OK;
}

HRESULT MessageSession::ReadBytesWithStop(void* buffer, LONG count, LONG* actual, ReadStop* stop) {
    if (actual == nullptr || stop == nullptr || (buffer == nullptr && count > 0)) return NullArgument();
    if (count < 0) return NegativeCount();
    std::lock_guard lock(mutex_);
    return ReadLocked(buffer, count, actual, stop);
}

HRESULT MessageSession::get_CarriesEnd(VARIANT_BOOL* carried) {
    if (carried == nullptr) return NullArgument();
    std::lock_guard lock(mutex_);
    if (!transport_) return Closed();
    *carried = transport_->CarriesEnd() ? VARIANT_TRUE : VARIANT_FALSE;
    return S_OK;
}

HRESULT MessageSession::WaitForServiceRequest(LONG timeoutMs, SHORT* statusByte) {
    if (statusByte == nullptr) return NullArgument();
    std::lock_guard lock(mutex_);
    if (!transport_) return Closed();
    {
        std::lock_guard waitLock(waitMutex_);
        if (closing_) return Closed();
        waiting_ = transport_.get();
    }
    std::uint8_t value = 0;
    const Status status = transport_->WaitForServiceRequest(Deadline::After(timeoutMs), &value);
    {
        std::lock_guard waitLock(waitMutex_);
        waiting_ = nullptr;
    }
    if (!status.ok()) return ReportHresult(status);
    *statusByte = value;
    return S_OK;
}

HRESULT MessageSession::ReadBytes(void* buffer, LONG count, LONG* actual) {
    ReadStop stop = READ_STOP_COUNT;
    return ReadBytesWithStop(buffer, count, actual, &stop);
}

HRESULT MessageSession::WriteBytes(const void* buffer, LONG count, LONG* written) {
    if (written == nullptr || (buffer == nullptr && count > 0)) return NullArgument();
    if (count < 0) return NegativeCount();
    std::lock_guard lock(mutex_);
    return WriteLocked(buffer, count, written);
}

HRESULT MessageSession::Read(LONG count, SAFEARRAY** bytes) {
    if (bytes == nullptr) return NullArgument();
    *bytes = nullptr;
    if (count < 0) return NegativeCount();
    std::vector<std::uint8_t> data(static_cast<std::size_t>(count));
    LONG actual = 0;
    if (HRESULT hr = ReadBytes(data.data(), count, &actual); FAILED(hr)) return hr;
    SAFEARRAY* array = SafeArrayCreateVector(VT_UI1, 0, static_cast<ULONG>(actual));
    if (array == nullptr) return ReportHresult(E_OUTOFMEMORY, "Out of memory for the bytes read.");
    if (actual > 0) std::memcpy(array->pvData, data.data(), static_cast<std::size_t>(actual));
    *bytes = array;
    return S_OK;
}

HRESULT MessageSession::ReadString(LONG count, BSTR* text) {
    if (text == nullptr) return NullArgument();
    *text = nullptr;
    if (count < 0) return NegativeCount();
    std::string data(static_cast<std::size_t>(count), '\0');
    LONG actual = 0;
    if (HRESULT hr = ReadBytes(data.data(), count, &actual); FAILED(hr)) return hr;
    data.resize(static_cast<std::size_t>(actual));
    *text = Utf8ToBstr(data);
    return *text != nullptr ? S_OK : ReportHresult(E_OUTOFMEMORY, "Out of memory for the text read.");
}

HRESULT MessageSession::Write(SAFEARRAY* bytes, LONG* written) {
    if (bytes == nullptr || written == nullptr) return NullArgument();
    *written = 0;
    VARTYPE type = VT_EMPTY;
    if (FAILED(SafeArrayGetVartype(bytes, &type)) || type != VT_UI1 || SafeArrayGetDim(bytes) != 1) {
        return ReportHresult(E_INVALIDARG, "Write takes a one-dimensional array of bytes.");
    }
    const com::SafeArrayView<BYTE> view(bytes);
    if (FAILED(view.status())) return ReportHresult(view.status(), "Cannot access the array.");
    return WriteBytes(view.elements().data(), static_cast<LONG>(view.elements().size()), written);
}

HRESULT MessageSession::WriteString(BSTR text, LONG* written) {
    if (written == nullptr) return NullArgument();
    const std::string narrow = WideToUtf8(BstrView(text));
    return WriteBytes(narrow.data(), static_cast<LONG>(narrow.size()), written);
}

HRESULT MessageSession::Clear() {
    std::lock_guard lock(mutex_);
    if (!transport_) return Closed();
    if (Status status = transport_->Clear(NextDeadline()); !status.ok()) return ReportHresult(status);
    return S_OK;
}

HRESULT MessageSession::ReadSTB(SHORT* statusByte) {
    if (statusByte == nullptr) return NullArgument();
    std::lock_guard lock(mutex_);
    if (!transport_) return Closed();
    std::uint8_t value = 0;
    if (Status status = transport_->ReadStatusByte(NextDeadline(), &value); !status.ok()) return ReportHresult(status);
    *statusByte = value;
    return S_OK;
}

HRESULT MessageSession::AssertTrigger() {
    std::lock_guard lock(mutex_);
    if (!transport_) return Closed();
    if (Status status = transport_->Trigger(NextDeadline()); !status.ok()) return ReportHresult(status);
    return S_OK;
}

HRESULT MessageSession::get_TerminationCharacter(BYTE* c) { return GetAttribute(Attributes::kTermChar, c); }

HRESULT MessageSession::put_TerminationCharacter(BYTE c) { return PutAttribute(Attributes::kTermChar, c); }

HRESULT MessageSession::get_TerminationCharacterEnabled(VARIANT_BOOL* on) {
    return GetAttribute(Attributes::kTermCharEnabled, on);
}

HRESULT MessageSession::put_TerminationCharacterEnabled(VARIANT_BOOL on) {
    return PutAttribute(Attributes::kTermCharEnabled, on);
}

HRESULT MessageSession::get_SendEndEnabled(VARIANT_BOOL* on) { return GetAttribute(Attributes::kSendEnd, on); }

HRESULT MessageSession::put_SendEndEnabled(VARIANT_BOOL on) { return PutAttribute(Attributes::kSendEnd, on); }

}  // namespace visa
