#include "platform/visa/status.h"

#include <cstring>

namespace visa {

Status Status::FromErrno(HRESULT code, const std::string& what, int err) {
    char buffer[256];
    // The GNU variant may return a static string instead of filling the buffer.
    const char* message = strerror_r(err, buffer, sizeof buffer);
    return Fail(code, what + ": " + message);
}

}  // namespace visa
