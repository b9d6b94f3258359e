#include "platform/visa/ieee_block.h"

#include <algorithm>

namespace visa {

std::string DefiniteBlockHeader(std::size_t length) {
    const std::string digits = std::to_string(length);
    std::string header = "#";  // appended, not "#" + string: GCC 12 warns falsely on that
    return header.append(std::to_string(digits.size())).append(digits);
}

std::size_t BinaryElementSize(VARTYPE type) {
    switch (type) {
        case VT_UI1:
        case VT_I1:
            return 1;
        case VT_I2:
        case VT_UI2:
            return 2;
        case VT_I4:
        case VT_UI4:
        case VT_R4:
        case VT_INT:
        case VT_UINT:
            return 4;
        case VT_R8:
        case VT_I8:
        case VT_UI8:
            return 8;
        default:
            return 0;
    }
}

void SwapElementBytes(std::uint8_t* data, std::size_t length, std::size_t elementSize) {
    if (elementSize < 2) return;
    for (std::size_t at = 0; at + elementSize <= length; at += elementSize) {
        std::reverse(data + at, data + at + elementSize);
    }
}

}  // namespace visa
