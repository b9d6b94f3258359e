// An extension of this layer's sessions: waiting for the instrument's
// service request without polling where the interface carries one.
#pragma once

#include "platform/visa/visacom.h"

namespace visa {

struct IServiceRequestWait : IUnknown {
    // Returns the status byte once the instrument requests service; fails
    // with E_VISA_TMO after `timeoutMs` (-1: never) and with
    // E_VISA_INV_OBJECT when the session is closed meanwhile.
    virtual HRESULT WaitForServiceRequest(LONG timeoutMs, SHORT* statusByte) = 0;

protected:
    ~IServiceRequestWait() = default;
};

extern const IID IID_IServiceRequestWait;

}  // namespace visa
