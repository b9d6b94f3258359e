#include "ivic/direct_io.h"

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

}  // namespace

ViStatus WriteDirect(ViSession vi, const OwnerPath& system, FormattedIoGetter getIo, ViConstString text) {
    return OnOwner(vi, nullptr, system, [&](IUnknown* owner) {
        MessagePtr message;
        const ViStatus status = ReachMessage(vi, owner, getIo, &message);
        if (!message) return status;
        const com::Bstr bstr(text ? text : "");
        LONG written = 0;
        const HRESULT hr = message->WriteString(bstr.get(), &written);
        return TranslateStatus(vi, hr);
    });
}

ViStatus ReadDirect(ViSession vi, const OwnerPath& system, FormattedIoGetter getIo, ViInt32 bufferSize,
                    ViChar* text, ViInt32* actualCount) {
    if (actualCount) *actualCount = 0;
    return OnOwner(vi, nullptr, system, [&](IUnknown* owner) {
        MessagePtr message;
        const ViStatus status = ReachMessage(vi, owner, getIo, &message);
        if (!message) return status;
        com::Bstr reply;
        const HRESULT hr = message->ReadString(bufferSize, reply.Receive());
        const ViStatus read = TranslateStatus(vi, hr);
        if (FAILED(hr)) return read;
        if (actualCount) *actualCount = static_cast<ViInt32>(reply.Utf8().size());
        return StoreText(reply.get(), bufferSize, text);
    });
}

}  // namespace ztv
