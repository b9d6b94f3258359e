#include "ivic/direct_io.h"

namespace ztv {
namespace {

using MessagePtr = visa::ComPtr<visa::IMessage>;

// System.IO, then that formatter's own IO: the raw message session.
ViStatus ReachMessage(ViSession vi, IUnknown* system, FormattedIoGetter getIo, MessagePtr* message) {
    visa::ComPtr<visa::IFormattedIO488> formatted;
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
        BSTR bstr = AnsiToBstr(text ? text : "");
        LONG written = 0;
        const HRESULT hr = message->WriteString(bstr, &written);
        SysFreeString(bstr);
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
        BSTR reply = nullptr;
        const HRESULT hr = message->ReadString(bufferSize, &reply);
        const ViStatus read = TranslateStatus(vi, hr);
        ViStatus stored = read;
        if (SUCCEEDED(hr)) {
            stored = StoreText(reply, bufferSize, text);
            if (actualCount) *actualCount = static_cast<ViInt32>(WideToAnsi(reply).size());
        }
        SysFreeString(reply);
        return stored;
    });
}

}  // namespace ztv
