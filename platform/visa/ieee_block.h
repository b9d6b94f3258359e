// IEEE 488.2 arbitrary blocks: "#<n><length><bytes>" (definite) and
// "#0<bytes><NL^END>" (indefinite), with elements in instrument byte order.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/visa/visacom.h"

namespace visa {

// "#<n><length>" for a definite block of `length` bytes.
std::string DefiniteBlockHeader(std::size_t length);
// Bytes per element of a block type, 0 for an unknown type.
std::size_t BinaryElementSize(VARTYPE type);
// Swaps every element between big- and little-endian order in place.
void SwapElementBytes(std::uint8_t* data, std::size_t length, std::size_t elementSize);

}  // namespace visa
