#include "platform/visa/array_loan.h"

namespace visa {
namespace {

struct Spare {
    SAFEARRAY* array = nullptr;
    bool open = false;
    ~Spare() { SafeArrayDestroy(array); }
};

thread_local Spare spare;

bool IsVector(SAFEARRAY* array, VARTYPE type, ULONG count) {
    VARTYPE vt = VT_EMPTY;
    LONG lower = -1, upper = -1;
    return SafeArrayGetDim(array) == 1 && SUCCEEDED(SafeArrayGetVartype(array, &vt)) && vt == type &&
           SUCCEEDED(SafeArrayGetLBound(array, 1, &lower)) && lower == 0 &&
           SUCCEEDED(SafeArrayGetUBound(array, 1, &upper)) && upper + 1 == static_cast<LONG>(count);
}

}  // namespace

ArrayLoan::ArrayLoan() : wasOpen_(spare.open) { spare.open = true; }

ArrayLoan::~ArrayLoan() { spare.open = wasOpen_; }

void ArrayLoan::GiveBack(SAFEARRAY* array) {
    if (array == spare.array) return;
    SafeArrayDestroy(spare.array);
    spare.array = array;
}

SAFEARRAY* ResultVector(VARTYPE type, ULONG count) {
    if (spare.open && spare.array && IsVector(spare.array, type, count)) {
        SAFEARRAY* reused = spare.array;
        spare.array = nullptr;
        return reused;
    }
    return SafeArrayCreateVector(type, 0, count);
}

}  // namespace visa
