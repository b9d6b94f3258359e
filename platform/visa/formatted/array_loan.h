// Array results written into a caller's buffer: the loan (public, for the
// native C++ API as well) and the member side that fills the result.
#pragma once

#include <cstddef>

#include "zentrava/array_loan.h"

namespace visa {

using zentrava::ArrayLoan;

// A zero-based vector of count elements: over the caller's storage when a
// loan offers enough of this type, else the thread's spare when a loan is
// open and the spare has this type and length, otherwise a new array.
SAFEARRAY* ResultVector(VARTYPE type, ULONG count);

// How many elements of `type` a read on this thread needs to keep: the
// offered capacity while a loan offers storage of that type, else all.
std::size_t KeptElements(VARTYPE type);
// Tells the loan that its read kept fewer elements than the result has.
void CountResult(std::size_t length);

}  // namespace visa
