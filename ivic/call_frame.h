// The frame every IVI-C function runs in: fetch the driver object from the
// session, hold a reference for the call, ask it for the interface that owns
// the member, and translate every COM result into an IVI-C status.
#pragma once

#include "ivic/status_translation.h"
#include "platform/ivi/iviss.h"
#include "zentrava/raii.h"

namespace ztv {

// The session's data pointer is always stored as an IUnknown*.
inline HRESULT SessionObject(ViSession vi, IUnknown** object, ViStatus* status) {
    ViAddr data = nullptr;
    *status = IviSession_GetDataPtr(vi, &data);
    *object = static_cast<IUnknown*>(data);
    return *status == 0 && data ? S_OK : E_FAIL;
}

// body(I*) returns the function's status; it translates its own COM calls.
template <class I, class F>
ViStatus CallFrame(ViSession vi, const IID& iid, F&& body) {
    IUnknown* object = nullptr;
    ViStatus status = 0;
    if (FAILED(SessionObject(vi, &object, &status))) return status;
    const auto held = com::ComPtr<IUnknown>::Share(object);
    com::ComPtr<I> itf;
    const HRESULT hr = object->QueryInterface(iid, itf.ReceiveVoid());
    status = TranslateStatus(vi, hr);
    if (SUCCEEDED(hr) && itf) status = body(itf.get());
    return status;
}

// A successful call's warning wins over the status of storing its outputs.
inline ViStatus CallOrStore(ViStatus call, ViStatus store) { return call != 0 ? call : store; }

}  // namespace ztv
