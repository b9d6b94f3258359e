// The VARIANT operations the driver needs: owned strings, arrays and
// interface pointers are freed on clear and deep-copied on copy.
#include <cstring>

#include "zentrava/com.h"

namespace {

bool IsScalarType(VARTYPE vt) {
    switch (vt) {
        case VT_EMPTY:
        case VT_NULL:
        case VT_I2:
        case VT_I4:
        case VT_R4:
        case VT_R8:
        case VT_BSTR:
        case VT_DISPATCH:
        case VT_ERROR:
        case VT_BOOL:
        case VT_UNKNOWN:
        case VT_I1:
        case VT_UI1:
        case VT_UI2:
        case VT_UI4:
        case VT_I8:
        case VT_UI8:
        case VT_INT:
        case VT_UINT:
            return true;
        default:
            return false;
    }
}

bool IsValidType(VARTYPE vt) {
    const VARTYPE base = vt & ~(VT_ARRAY | VT_BYREF);
    if ((vt & VT_ARRAY) != 0) return base == VT_VARIANT || (IsScalarType(base) && base != VT_EMPTY && base != VT_NULL);
    if ((vt & VT_BYREF) != 0) return base == VT_VARIANT || IsScalarType(base);
    return IsScalarType(vt);
}

}  // namespace

void VariantInit(VARIANT* v) {
    if (v == nullptr) return;
    std::memset(v, 0, sizeof *v);
    v->vt = VT_EMPTY;
}

HRESULT VariantClear(VARIANT* v) {
    if (v == nullptr) return E_INVALIDARG;
    if (!IsValidType(v->vt)) return DISP_E_BADVARTYPE;
    if ((v->vt & VT_BYREF) == 0) {
        if ((v->vt & VT_ARRAY) != 0) {
            const HRESULT hr = SafeArrayDestroy(v->parray);
            if (FAILED(hr)) return hr;
        } else if (v->vt == VT_BSTR) {
            SysFreeString(v->bstrVal);
        } else if ((v->vt == VT_UNKNOWN || v->vt == VT_DISPATCH) && v->punkVal != nullptr) {
            v->punkVal->Release();
        }
    }
    VariantInit(v);
    return S_OK;
}

HRESULT VariantCopy(VARIANT* dest, const VARIANT* src) {
    if (dest == nullptr || src == nullptr) return E_INVALIDARG;
    if (dest == src) return S_OK;
    if (!IsValidType(src->vt)) return DISP_E_BADVARTYPE;
    HRESULT hr = VariantClear(dest);
    if (FAILED(hr)) return hr;

    VARIANT copy = *src;
    if ((src->vt & VT_BYREF) == 0) {
        if ((src->vt & VT_ARRAY) != 0) {
            hr = SafeArrayCopy(src->parray, &copy.parray);
            if (FAILED(hr)) return hr;
        } else if (src->vt == VT_BSTR && src->bstrVal != nullptr) {
            copy.bstrVal = SysAllocStringLen(src->bstrVal, SysStringLen(src->bstrVal));
            if (copy.bstrVal == nullptr) return E_OUTOFMEMORY;
        } else if ((src->vt == VT_UNKNOWN || src->vt == VT_DISPATCH) && src->punkVal != nullptr) {
            src->punkVal->AddRef();
        }
    }
    *dest = copy;
    return S_OK;
}
