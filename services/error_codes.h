// Result codes of the driver and the IVI inherent codes, with the message
// number each one is reported under (IDS_ followed by the code's name).
#pragma once

#include "services/error_list.h"
#include "zentrava/com.h"

namespace ztv {

#define ZTV_DEFINE_CODE(name, value, id, text) constexpr HRESULT name = MakeHresult(value);
ZTV_ERROR_LIST(ZTV_DEFINE_CODE)
#undef ZTV_DEFINE_CODE

enum : ULONG {
#define ZTV_DEFINE_ID(name, value, id, text) IDS_##name = id,
    ZTV_ERROR_LIST(ZTV_DEFINE_ID)
#undef ZTV_DEFINE_ID
};

}  // namespace ztv
