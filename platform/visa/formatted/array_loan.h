// Array results written into a caller's buffer: the loan (public, for the
// native C++ API as well) and the member side that fills the result.
#pragma once

#include "zentrava/array_loan.h"

namespace visa {

using zentrava::ArrayLoan;

// A zero-based vector of count elements: over the caller's storage when a
// loan offers enough of this type, else the thread's spare when a loan is
// open and the spare has this type and length, otherwise a new array.
SAFEARRAY* ResultVector(VARTYPE type, ULONG count);

}  // namespace visa
