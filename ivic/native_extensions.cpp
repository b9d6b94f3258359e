// Members of the native C++ API that no public COM interface carries: direct
// I/O on the raw message session under System.IO (the VISA interfaces are not
// among the public headers), and snapshots, which the C face's code takes.
#include "ivic/snapshot.h"
#include "platform/ivi/iviss.h"
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

HRESULT snapshot(IZentrava* root, BSTR* json) {
    // A C session of its own on the same driver object, for the snapshot's
    // attribute reads; disposed of without closing the driver.
    ViSession vi = VI_NULL;
    if (IviSession_New(&vi) != 0) return E_OUTOFMEMORY;
    root->AddRef();
    IviSession_SetDataPtr(vi, root);
    const std::string text = ztv::TakeSnapshot(vi);
    IviSession_Dispose(vi);
    root->Release();
    *json = Utf8ToBstr(text);
    return *json ? S_OK : E_OUTOFMEMORY;
}

}  // namespace zentrava::detail
