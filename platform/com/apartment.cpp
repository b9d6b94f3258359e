// Apartments are only bookkeeping here (no marshalling exists): each thread
// counts its CoInitializeEx calls and remembers which kind it joined.
#include "platform/com/apartment.h"

#include "zentrava/com.h"

namespace {

struct ThreadApartment {
    unsigned int entries = 0;
    DWORD kind = COINIT_MULTITHREADED;
};

thread_local ThreadApartment t_apartment;

DWORD KindOf(DWORD coinit) { return coinit & COINIT_APARTMENTTHREADED; }

}  // namespace

namespace com_detail {

bool ThreadHasApartment() { return t_apartment.entries > 0; }

}  // namespace com_detail

HRESULT CoInitializeEx(void* reserved, DWORD coinit) {
    if (reserved != nullptr) return E_INVALIDARG;
    const DWORD kind = KindOf(coinit);
    if (t_apartment.entries == 0) {
        t_apartment.entries = 1;
        t_apartment.kind = kind;
        return S_OK;
    }
    if (t_apartment.kind != kind) return RPC_E_CHANGED_MODE;
    ++t_apartment.entries;
    return S_FALSE;
}

void CoUninitialize() {
    if (t_apartment.entries > 0) --t_apartment.entries;
}
