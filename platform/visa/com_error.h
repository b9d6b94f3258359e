// Failures leave an error object with their description on the calling
// thread, where the driver picks it up with GetErrorInfo.
#pragma once

#include <string_view>

#include "platform/visa/status.h"

namespace visa {

// Sets the thread's error object and returns `code`.
HRESULT ReportError(HRESULT code, std::string_view description);
inline HRESULT ReportError(const Status& status) { return ReportError(status.code, status.text); }

}  // namespace visa
