// Extension, not among the specified interfaces: waiting for the
// instrument's service request. The driver object offers it beside its IVI
// interfaces; ask any of them for IID_IZentravaServiceRequest.
#pragma once

#include "zentrava/com.h"

struct IZentravaServiceRequest : IUnknown {
    // Returns the status byte once the instrument requests service.
    // TimeoutMs -1 waits forever; Close from another thread ends the wait.
    virtual HRESULT WaitForServiceRequest(LONG TimeoutMs, SHORT* StatusByte) = 0;

protected:
    ~IZentravaServiceRequest() = default;
};

extern const IID IID_IZentravaServiceRequest;
