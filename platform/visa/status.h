// The result of a transport or parser step: a VISA-COM result code and the
// text that ends up in the thread's error object when the step failed.
#pragma once

#include <string>
#include <utility>

#include "platform/visa/visacom.h"

namespace visa {

struct Status {
    HRESULT code = S_OK;
    std::string text;

    bool ok() const { return SUCCEEDED(code); }

    static Status Ok() { return {}; }
    static Status Fail(HRESULT code, std::string text) { return {code, std::move(text)}; }
    static Status Timeout() { return {E_VISA_TMO, "Timeout expired before operation completed."}; }
    // An errno-based failure: "<what>: <strerror(err)>".
    static Status FromErrno(HRESULT code, const std::string& what, int err);
};

}  // namespace visa
