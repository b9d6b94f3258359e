// Failures leave an error object with their description on the calling
// thread, where the driver picks it up with GetErrorInfo.
#pragma once

#include <string_view>

#include "platform/visa/status.h"

namespace visa {

// Sets the thread's error object for the HRESULT `code` and returns `code`.
HRESULT ReportHresult(HRESULT code, std::string_view description);
inline HRESULT ReportHresult(const Status& status) { return ReportHresult(status.code, status.text); }

}  // namespace visa
