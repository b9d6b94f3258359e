// The elements of IEEE 488.2 blocks: the array types a block carries. The
// block headers and byte order are the protocol library's.
#pragma once

#include <cstddef>

#include "platform/visa/visacom.h"

namespace visa {

// Bytes per element of a block type, 0 for an unknown type.
std::size_t BinaryElementSize(VARTYPE type);

}  // namespace visa
