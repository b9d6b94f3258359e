// A C caller copies an array result into its own buffer and drops it at
// once. While such a caller holds an ArrayLoan, a read on its thread puts
// its result straight into that buffer when it fits (the array then only
// describes the caller's storage), and otherwise refills the array handed
// back last time (when the length matches) instead of allocating a new
// trace-sized one. COM callers hold no loan and always get an array of
// their own.
#pragma once

#include "zentrava/com.h"

namespace visa {

class ArrayLoan {
public:
    // The caller may offer `capacity` elements of `type` at `storage` for the
    // result. A loan opened inside another withdraws both offers: with two
    // results in one call, neither may land in the other's buffer.
    explicit ArrayLoan(VARTYPE type = VT_EMPTY, void* storage = nullptr, ULONG capacity = 0);
    ~ArrayLoan();
    ArrayLoan(const ArrayLoan&) = delete;
    ArrayLoan& operator=(const ArrayLoan&) = delete;

    // The caller is done with array: an array of its own becomes the
    // thread's spare (the previous spare is freed).
    void GiveBack(SAFEARRAY* array);

private:
    bool wasOpen_;
};

// A zero-based vector of count elements: over the caller's storage when a
// loan offers enough of this type, else the thread's spare when a loan is
// open and the spare has this type and length, otherwise a new array.
SAFEARRAY* ResultVector(VARTYPE type, ULONG count);

}  // namespace visa
