#include "platform/visa/formatted/array_loan.h"

#include <algorithm>
#include <limits>

namespace visa {
namespace {

struct Offer {
    VARTYPE type = VT_EMPTY;
    void* storage = nullptr;
    ULONG capacity = 0;
};

struct Spare {
    SAFEARRAY* array = nullptr;
    bool open = false;
    Offer offer;
    bool counted = false;  // the outermost loan's read kept less than it counted
    ULONG countedLength = 0;
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

// A vector describing count elements of the offered storage; the offer is
// used up, so a second result cannot land on the first.
SAFEARRAY* OverOfferedStorage(VARTYPE type, ULONG count) {
    const Offer offer = spare.offer;
    if (!spare.open || offer.storage == nullptr || offer.type != type || count == 0 || count > offer.capacity)
        return nullptr;
    SAFEARRAY* view = nullptr;
    if (FAILED(SafeArrayAllocDescriptorEx(type, 1, &view))) return nullptr;
    view->rgsabound[0] = SAFEARRAYBOUND{count, 0};
    view->pvData = offer.storage;
    view->fFeatures |= FADF_STATIC;
    spare.offer = {};
    return view;
}

}  // namespace

}  // namespace visa

namespace zentrava {

using visa::Offer;
using visa::spare;

ArrayLoan::ArrayLoan(VARTYPE type, void* storage, ULONG capacity) : wasOpen_(spare.open) {
    spare.offer = wasOpen_ ? Offer{} : Offer{type, storage, capacity};
    spare.open = true;
    if (!wasOpen_) spare.counted = false;
}

ArrayLoan::~ArrayLoan() {
    spare.open = wasOpen_;
    spare.offer = {};
    if (!wasOpen_) spare.counted = false;
}

ULONG ArrayLoan::ResultLength(SAFEARRAY* array) const {
    if (!wasOpen_ && spare.counted) return spare.countedLength;
    LONG lower = 0, upper = -1;
    if (!array || FAILED(SafeArrayGetLBound(array, 1, &lower)) || FAILED(SafeArrayGetUBound(array, 1, &upper)))
        return 0;
    return upper >= lower ? static_cast<ULONG>(upper - lower + 1) : 0;
}

void ArrayLoan::GiveBack(SAFEARRAY* array) {
    if (array == spare.array) return;
    if (array != nullptr && (array->fFeatures & FADF_STATIC)) {
        SafeArrayDestroy(array);  // only the description: the storage is the caller's
        return;
    }
    SafeArrayDestroy(spare.array);
    spare.array = array;
}

}  // namespace zentrava

namespace visa {

SAFEARRAY* ResultVector(VARTYPE type, ULONG count) {
    if (SAFEARRAY* view = OverOfferedStorage(type, count)) return view;
    if (spare.open && spare.array && IsVector(spare.array, type, count)) {
        SAFEARRAY* reused = spare.array;
        spare.array = nullptr;
        return reused;
    }
    return SafeArrayCreateVector(type, 0, count);
}

std::size_t KeptElements(VARTYPE type) {
    if (!spare.open || spare.offer.type != type) return std::numeric_limits<std::size_t>::max();
    return spare.offer.capacity;
}

void CountResult(std::size_t length) {
    spare.counted = true;
    spare.countedLength = static_cast<ULONG>(std::min<std::size_t>(length, std::numeric_limits<ULONG>::max()));
}

}  // namespace visa
