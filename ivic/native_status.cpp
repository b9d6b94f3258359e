// The C face's status for the native C++ API's exceptions.
#include "ivic/status_translation.h"
#include "zentrava/errors.hpp"

namespace zentrava {

std::int32_t c_status_of(HRESULT code) { return ztv::IviCStatusOf(code); }

}  // namespace zentrava
