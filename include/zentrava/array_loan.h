// A caller that copies an array result into its own buffer and drops it at
// once (the C face, the native C++ API's reads into a span) holds an
// ArrayLoan while it calls. A read on its thread then puts its result
// straight into that buffer when it fits (the array then only describes the
// caller's storage), and otherwise refills the array handed back last time
// (when the length matches) instead of allocating a new trace-sized one.
// COM callers hold no loan and always get an array of their own. A list
// longer than the offered storage is kept only as far as it fits; the rest
// is counted (ResultLength), not stored.
#pragma once

#include "zentrava/com.h"

namespace zentrava {

class ArrayLoan {
public:
    // The caller may offer `capacity` elements of `type` at `storage` for the
    // result. A loan opened inside another withdraws both offers: with two
    // results in one call, neither may land in the other's buffer.
    explicit ArrayLoan(VARTYPE type = VT_EMPTY, void* storage = nullptr, ULONG capacity = 0);
    ~ArrayLoan();
    ArrayLoan(const ArrayLoan&) = delete;
    ArrayLoan& operator=(const ArrayLoan&) = delete;

    // The length of the result `array` of the read made under this loan:
    // its element count, or, when the read kept only the values that fit
    // the caller's storage and counted the rest, the whole list's count.
    ULONG ResultLength(SAFEARRAY* array) const;

    // The caller is done with array: an array of its own becomes the
    // thread's spare (the previous spare is freed).
    void GiveBack(SAFEARRAY* array);

private:
    bool wasOpen_;
};

}  // namespace zentrava
