// The native C++ API's direct I/O: the raw message session under System.IO,
// written and read as the C face's Ztv_SystemWrite and Ztv_SystemRead do,
// since the VISA interfaces are not among the public headers.
#include "platform/visa/visacom.h"
#include "zentrava/driver.hpp"

namespace zentrava::detail {
namespace {

HRESULT MessageSession(IZentrava* root, com::ComPtr<visa::IMessage>* message) {
    com::ComPtr<IZentravaSystem> system;
    if (HRESULT hr = root->get_System(system.Receive()); FAILED(hr)) return hr;
    com::ComPtr<visa::IFormattedIO488> formatted;
    if (HRESULT hr = system->get_IO(formatted.Receive()); FAILED(hr)) return hr;
    if (!formatted) return E_POINTER;
    return formatted->get_IO(message->Receive());
}

}  // namespace

HRESULT write_direct(IZentrava* root, const char* text) {
    com::ComPtr<visa::IMessage> message;
    if (HRESULT hr = MessageSession(root, &message); FAILED(hr)) return hr;
    const com::Bstr bstr(text);
    LONG written = 0;
    return message->WriteString(bstr.get(), &written);
}

HRESULT read_direct(IZentrava* root, LONG count, BSTR* reply) {
    com::ComPtr<visa::IMessage> message;
    if (HRESULT hr = MessageSession(root, &message); FAILED(hr)) return hr;
    return message->ReadString(count, reply);
}

}  // namespace zentrava::detail
