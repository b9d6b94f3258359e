// Numbers as IEEE 488.2 ASCII text: reading exactly (the shortest-form
// parser first, the C library's strtod for forms it does not take such as a
// leading '+') and writing in the shortest form that reads back the same.
#pragma once

#include <string>
#include <string_view>

#include "platform/visa/visacom.h"

namespace visa {

// The whole token must be a number (surrounding blanks allowed).
bool ParseReal(std::string_view token, double* value);

void AppendReal(double value, std::string* out);
void AppendFloat(float value, std::string* out);
void AppendInteger(long long value, std::string* out);

// Writes one scalar VARIANT as text of the given type; ASCIIType_Any follows the VARIANT.
HRESULT AppendNumber(const VARIANT& value, IEEEASCIIType type, std::string* out);
// Reads one token as a VARIANT of the given type (Any gives a double).
HRESULT TokenToVariant(std::string_view token, IEEEASCIIType type, VARIANT* value);
// The VARTYPE that a list of the given type is made of.
VARTYPE ListElementType(IEEEASCIIType type);

}  // namespace visa
