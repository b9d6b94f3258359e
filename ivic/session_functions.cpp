// IVI-C sessions: opening, closing, attaching, locking and the error record.
#include <cstring>

#include "ivic/apartment.h"
#include "ivic/call_frame.h"
#include "services/driver_identity.h"
#include "zentrava/Zentrava.h"
#include "zentrava/ivi.h"
#include "zentrava/raii.h"

using namespace ztv;

namespace {

ViStatus OpenSession(ViRsrc resourceName, ViBoolean idQuery, ViBoolean reset, ViConstString optionString,
                     ViSession* vi) {
    if (!vi) return kIviCGenericFailure;
    *vi = VI_NULL;
    if (!JoinApartment()) return kIviCGenericFailure;

    com::ComPtr<IUnknown> object;
    if (FAILED(CoCreateInstance(ClsidZentrava(), nullptr, CLSCTX_ALL, IID_IUnknown, object.ReceiveVoid())) || !object)
        return kIviCGenericFailure;
    com::ComPtr<IIviDriver> driver;
    HRESULT hr = object->QueryInterface(IID_IIviDriver, driver.ReceiveVoid());
    ViStatus status = TranslateStatus(VI_NULL, hr);
    if (FAILED(hr) || !driver) return FAILED(hr) ? status : kIviCGenericFailure;

    const com::Bstr name = resourceName ? com::Bstr(resourceName) : com::Bstr();
    const com::Bstr options(optionString ? optionString : "");
    hr = driver->Initialize(name.get(), idQuery ? VARIANT_TRUE : VARIANT_FALSE, reset ? VARIANT_TRUE : VARIANT_FALSE,
                            options.get());
    if (FAILED(hr)) return TranslateStatus(VI_NULL, hr);
    status = IviSession_New(vi);
    if (status == 0) status = IviSession_SetDataPtr(*vi, static_cast<IUnknown*>(driver.get()));
    if (status != 0) return status;
    driver->AddRef();  // the session's own reference
    return TranslateStatus(*vi, hr);
}

// Closes the session's driver and drops the session's reference; every
// reference taken here is gone before the caller leaves the apartment.
ViStatus CloseDriver(ViSession vi, IUnknown* object) {
    const auto held = com::ComPtr<IUnknown>::Share(object);
    com::ComPtr<IIviDriver> driver;
    const HRESULT qi = object->QueryInterface(IID_IIviDriver, driver.ReceiveVoid());
    const ViStatus status = TranslateStatus(vi, qi);
    if (FAILED(qi) || !driver) return FAILED(qi) ? status : kIviCGenericFailure;
    const ViStatus closed = TranslateStatus(vi, driver->Close());

    IUnknown* owned = nullptr;
    ViStatus disposed = 0;
    if (SUCCEEDED(SessionObject(vi, &owned, &disposed))) {
        com::ComPtr<IUnknown>::Adopt(owned);  // the session's own reference ends here
        disposed = IviSession_Dispose(vi);
    }
    return closed != 0 ? closed : disposed;
}

}  // namespace

extern "C" {

ViStatus Ztv_init(ViRsrc ResourceName, ViBoolean IdQuery, ViBoolean Reset, ViSession* Vi) {
    return OpenSession(ResourceName, IdQuery, Reset, "", Vi);
}

ViStatus Ztv_InitWithOptions(ViRsrc ResourceName, ViBoolean IdQuery, ViBoolean Reset, ViConstString OptionString,
                             ViSession* Vi) {
    return OpenSession(ResourceName, IdQuery, Reset, OptionString, Vi);
}

ViStatus Ztv_close(ViSession Vi) {
    IUnknown* object = nullptr;
    ViStatus status = 0;
    if (FAILED(SessionObject(Vi, &object, &status))) return status;
    status = CloseDriver(Vi, object);
    CoUninitialize();
    return status;
}

ViStatus Ztv_AttachToExistingCOMSession(void* Object, ViSession* Vi) {
    if (!Vi) return kIviCGenericFailure;
    *Vi = VI_NULL;
    ViStatus status = IviSession_New(Vi);
    if (status != 0) return status;
    status = IviSession_SetDataPtr(*Vi, Object);
    if (status != 0) return status;
    if (Object) static_cast<IUnknown*>(Object)->AddRef();
    return 0;
}

ViStatus Ztv_GetNativeIUnknownPtr(ViSession Vi, void** Ptr) {
    if (!Ptr) return kIviCGenericFailure;
    *Ptr = nullptr;
    IUnknown* object = nullptr;
    ViStatus status = 0;
    if (FAILED(SessionObject(Vi, &object, &status))) return status;
    object->AddRef();
    *Ptr = object;
    return 0;
}

ViStatus Ztv_LockSession(ViSession Vi, ViBoolean* CallerHasLock) { return IviSession_Lock(Vi, CallerHasLock); }

ViStatus Ztv_UnlockSession(ViSession Vi, ViBoolean* CallerHasLock) { return IviSession_Unlock(Vi, CallerHasLock); }

ViStatus Ztv_GetError(ViSession Vi, ViStatus* ErrorCode, ViInt32 BufferSize, ViChar Description[]) {
    return IviSession_GetError(Vi, BufferSize, ErrorCode, Description);
}

ViStatus Ztv_ClearError(ViSession Vi) { return IviSession_ClearError(Vi); }

ViStatus Ztv_error_message(ViSession, ViStatus ErrorCode, ViChar ErrorMessage[256]) {
    if (!ErrorMessage) return kIviCGenericFailure;
    ErrorMessage[0] = '\0';
    const std::string_view text = IviCDescriptionOf(ErrorCode);
    const std::size_t n = std::min<std::size_t>(text.size(), 255);
    text.copy(ErrorMessage, n);
    ErrorMessage[n] = '\0';
    return 0;
}

}  // extern "C"
