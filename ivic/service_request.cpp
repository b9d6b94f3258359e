// Extension of the C face: waiting for the instrument's service request,
// through the driver object's extension interface.
#include "zentrava/service_request.h"

#include "ivic/navigation.h"
#include "ivic/status_translation.h"
#include "zentrava/Zentrava.h"

extern "C" {

ViStatus Ztv_WaitForServiceRequest(ViSession Vi, ViInt32 TimeoutMs, ViInt16* StatusByte) {
    if (StatusByte == nullptr) return ztv::kIviCGenericFailure;
    *StatusByte = 0;
    static const ztv::OwnerPath kDriver{0, &IID_IZentravaServiceRequest, nullptr};
    return ztv::OnOwner(Vi, nullptr, kDriver, [&](IUnknown* owner) {
        SHORT value = 0;
        const HRESULT hr = static_cast<IZentravaServiceRequest*>(owner)->WaitForServiceRequest(TimeoutMs, &value);
        if (SUCCEEDED(hr)) *StatusByte = static_cast<ViInt16>(value);
        return ztv::TranslateStatus(Vi, hr);
    });
}

}  // extern "C"
