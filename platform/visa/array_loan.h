// A C caller copies an array result into its own buffer and drops it at
// once. While such a caller holds an ArrayLoan, reads on its thread refill
// the array it handed back last time (when the length matches) instead of
// allocating a new trace-sized one. COM callers hold no loan and always get
// an array of their own.
#pragma once

#include "zentrava/com.h"

namespace visa {

class ArrayLoan {
public:
    ArrayLoan();
    ~ArrayLoan();
    ArrayLoan(const ArrayLoan&) = delete;
    ArrayLoan& operator=(const ArrayLoan&) = delete;

    // The caller is done with array: it becomes the thread's spare (the
    // previous spare is freed).
    void GiveBack(SAFEARRAY* array);

private:
    bool wasOpen_;
};

// A zero-based vector of count elements: the thread's spare when a loan is
// open and the spare has this type and length, otherwise a new array.
SAFEARRAY* ResultVector(VARTYPE type, ULONG count);

}  // namespace visa
