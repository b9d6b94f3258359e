#include "platform/visa/formatted/block_element.h"

namespace visa {

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

}  // namespace visa
