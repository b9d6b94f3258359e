// The driver object's extension for waiting on the instrument's service
// request (zentrava/service_request.h).
#include "core/driver.h"
#include "platform/visa/service_request_wait.h"

const IID IID_IZentravaServiceRequest = GuidLiteral("{68405e99-4724-4d41-a418-7e2c41468b37}");

namespace ztv {

HRESULT Zentrava::WaitForServiceRequest(LONG TimeoutMs, SHORT* StatusByte) {
    com::ComPtr<visa::IServiceRequestWait> waiting;
    const HRESULT reached = Locked([&] {
        if (HRESULT hr = RequireInitialized(); FAILED(hr)) return hr;
        if (!StatusByte) return NullPointer("WaitForServiceRequest", "StatusByte");
        *StatusByte = 0;
        const auto message = com::ComPtr<visa::IMessage>::Adopt(provider_.Message());
        if (!message || FAILED(message->QueryInterface(visa::IID_IServiceRequestWait, waiting.ReceiveVoid()))) {
            SetThreadError(GUID_NULL, "Waiting for a service request is not supported on this interface.");
            return visa::E_VISA_NSUP_OPER;
        }
        return S_OK;
    });
    if (FAILED(reached)) return reached;
    // Outside the object lock, so that Close from another thread can close
    // the session, which ends the wait.
    SHORT value = 0;
    const HRESULT hr = waiting->WaitForServiceRequest(TimeoutMs, &value);
    if (hr == visa::E_VISA_TMO) return Locked([&] { return errors_.ReportIOTimeoutError(); });
    if (SUCCEEDED(hr)) *StatusByte = value;
    return hr;
}

}  // namespace ztv
