#include "ivic/direct_io.h"

#include "services/error_codes.h"
#include "services/error_manager.h"

namespace ztv {
namespace {

using MessagePtr = com::ComPtr<visa::IMessage>;

// System.IO, then that formatter's own IO: the raw message session.
ViStatus ReachMessage(ViSession vi, IUnknown* system, FormattedIoGetter getIo, MessagePtr* message) {
    com::ComPtr<visa::IFormattedIO488> formatted;
    ViStatus status = TranslateStatus(vi, getIo(system, formatted.Receive()));
    if (status < 0) return status;
    if (!formatted) return kIviCGenericFailure;
    status = TranslateStatus(vi, formatted->get_IO(message->Receive()));
    if (status < 0) *message = MessagePtr();
    return *message || status < 0 ? status : kIviCGenericFailure;
}

// The session's time-out is the driver's I/O time-out, reported as every
// other read of the driver reports it; other results translate as they are.
ViStatus TranslateIo(ViSession vi, HRESULT hr) {
    if (hr != visa::E_VISA_TMO) return TranslateStatus(vi, hr);
    const std::string description = TakeThreadErrorDescription();
    return TranslateStatus(vi, CErrorManager().ReportError(IDS_E_ZENTRAVA_IO_TIMEOUT, description));
}

}  // namespace

ViStatus WriteDirect(ViSession vi, const OwnerPath& system, FormattedIoGetter getIo, ViConstString text) {
    return OnOwner(vi, nullptr, system, [&](IUnknown* owner) {
        MessagePtr message;
        const ViStatus status = ReachMessage(vi, owner, getIo, &message);
        if (!message) return status;
        const com::Bstr bstr(text ? text : "");
        LONG written = 0;
        const HRESULT hr = message->WriteString(bstr.get(), &written);
        return TranslateIo(vi, hr);
    });
}

ViStatus ReadDirect(ViSession vi, const OwnerPath& system, FormattedIoGetter getIo, ViInt32 bufferSize, ViChar* text,
                    ViInt32* actualCount) {
    if (actualCount) *actualCount = 0;
    return OnOwner(vi, nullptr, system, [&](IUnknown* owner) {
        MessagePtr message;
        const ViStatus status = ReachMessage(vi, owner, getIo, &message);
        if (!message) return status;
        com::Bstr reply;
        const HRESULT hr = message->ReadString(bufferSize, reply.Receive());
        const ViStatus read = TranslateIo(vi, hr);
        if (FAILED(hr)) return read;
        if (actualCount) *actualCount = static_cast<ViInt32>(reply.Utf8().size());
        return StoreText(reply.get(), bufferSize, text);
    });
}

ViStatus ReadBytesDirect(ViSession vi, const OwnerPath& system, FormattedIoGetter getIo, ViInt32 bufferSize,
                         ViByte* data, ViInt32* actualCount) {
    if (!actualCount || (!data && bufferSize > 0)) return kIviCGenericFailure;
    *actualCount = 0;
    return OnOwner(vi, nullptr, system, [&](IUnknown* owner) {
        MessagePtr message;
        const ViStatus status = ReachMessage(vi, owner, getIo, &message);
        if (!message) return status;
        LONG actual = 0;
        const HRESULT hr = message->ReadBytes(data, bufferSize < 0 ? 0 : bufferSize, &actual);
        if (SUCCEEDED(hr)) *actualCount = static_cast<ViInt32>(actual);
        return TranslateIo(vi, hr);
    });
}

}  // namespace ztv
