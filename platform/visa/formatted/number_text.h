// Numbers of the formatted I/O as IEEE 488.2 ASCII text, through the number
// codec: read exactly, written in the shortest form that reads back the same.
#pragma once

#include <string>
#include <string_view>

#include "platform/visa/visacom.h"

namespace visa {

// Writes one scalar VARIANT as text of the given type; ASCIIType_Any follows the VARIANT.
HRESULT AppendNumber(const VARIANT& value, IEEEASCIIType type, std::string* out);
// Reads one token as a VARIANT of the given type (Any gives a double).
HRESULT TokenToVariant(std::string_view token, IEEEASCIIType type, VARIANT* value);
// The VARTYPE that a list of the given type is made of.
VARTYPE ListElementType(IEEEASCIIType type);

}  // namespace visa
