// SAFEARRAY with Windows' conventions: the descriptor keeps the bounds in
// reverse order of creation (rgsabound[0] is the right-most dimension), and
// indices passed to Get/PutElement are given in that same order.
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "zentrava/com.h"

namespace {

constexpr USHORT FADF_HAVEVARTYPE = 0x0080;
constexpr USHORT FADF_BSTR = 0x0100;
constexpr USHORT FADF_UNKNOWN = 0x0200;
constexpr USHORT FADF_DISPATCH = 0x0400;
constexpr USHORT FADF_VARIANT = 0x0800;
constexpr ULONG kMaxLocks = 0xFFFF;

ULONG ElementSize(VARTYPE vt) {
    switch (vt) {
        case VT_I1:
        case VT_UI1:
            return 1;
        case VT_I2:
        case VT_UI2:
        case VT_BOOL:
            return 2;
        case VT_I4:
        case VT_UI4:
        case VT_INT:
        case VT_UINT:
        case VT_R4:
        case VT_ERROR:
            return 4;
        case VT_I8:
        case VT_UI8:
        case VT_R8:
            return 8;
        case VT_BSTR:
            return sizeof(BSTR);
        case VT_UNKNOWN:
        case VT_DISPATCH:
            return sizeof(IUnknown*);
        case VT_VARIANT:
            return sizeof(VARIANT);
        default:
            return 0;
    }
}

USHORT FeaturesOf(VARTYPE vt) {
    switch (vt) {
        case VT_BSTR:
            return FADF_HAVEVARTYPE | FADF_BSTR;
        case VT_UNKNOWN:
            return FADF_HAVEVARTYPE | FADF_UNKNOWN;
        case VT_DISPATCH:
            return FADF_HAVEVARTYPE | FADF_DISPATCH;
        case VT_VARIANT:
            return FADF_HAVEVARTYPE | FADF_VARIANT;
        default:
            return FADF_HAVEVARTYPE;
    }
}

SAFEARRAYBOUND* Bounds(SAFEARRAY* psa) { return psa->rgsabound; }

std::size_t DescriptorSize(unsigned int cDims) {
    const std::size_t needed = offsetof(SAFEARRAY, rgsabound) + cDims * sizeof(SAFEARRAYBOUND);
    return needed < sizeof(SAFEARRAY) ? sizeof(SAFEARRAY) : needed;
}

// Number of cells, or false when it does not fit in memory.
bool CellCount(SAFEARRAY* psa, std::size_t* count) {
    std::size_t cells = 1;
    for (unsigned int i = 0; i < psa->cDims; ++i) {
        const std::size_t n = Bounds(psa)[i].cElements;
        if (n != 0 && cells > std::numeric_limits<std::size_t>::max() / n) return false;
        cells *= n;
    }
    if (cells != 0 && cells > std::numeric_limits<std::size_t>::max() / psa->cbElements) return false;
    *count = cells;
    return true;
}

std::size_t TotalCells(SAFEARRAY* psa) {
    std::size_t cells = 0;
    CellCount(psa, &cells);
    return cells;
}

char* Cell(SAFEARRAY* psa, std::size_t index) { return static_cast<char*>(psa->pvData) + index * psa->cbElements; }

void ReleaseCell(VARTYPE vt, void* cell) {
    switch (vt) {
        case VT_BSTR: {
            BSTR text;
            std::memcpy(&text, cell, sizeof text);
            SysFreeString(text);
            break;
        }
        case VT_UNKNOWN:
        case VT_DISPATCH: {
            IUnknown* unknown;
            std::memcpy(&unknown, cell, sizeof unknown);
            if (unknown != nullptr) unknown->Release();
            break;
        }
        case VT_VARIANT:
            VariantClear(static_cast<VARIANT*>(cell));
            break;
        default:
            break;
    }
    std::memset(cell, 0, ElementSize(vt));
}

// The cell types ReleaseCell has something to release for.
bool CellsOwnResources(VARTYPE vt) {
    return vt == VT_BSTR || vt == VT_UNKNOWN || vt == VT_DISPATCH || vt == VT_VARIANT;
}

// Fills an uninitialised cell with a copy of source (same element type).
HRESULT CopyCell(VARTYPE vt, void* target, const void* source) {
    switch (vt) {
        case VT_BSTR: {
            BSTR text;
            std::memcpy(&text, source, sizeof text);
            BSTR copy = nullptr;
            if (text != nullptr) {
                copy = SysAllocStringLen(text, SysStringLen(text));
                if (copy == nullptr) return E_OUTOFMEMORY;
            }
            std::memcpy(target, &copy, sizeof copy);
            return S_OK;
        }
        case VT_UNKNOWN:
        case VT_DISPATCH: {
            IUnknown* unknown;
            std::memcpy(&unknown, source, sizeof unknown);
            if (unknown != nullptr) unknown->AddRef();
            std::memcpy(target, &unknown, sizeof unknown);
            return S_OK;
        }
        case VT_VARIANT:
            VariantInit(static_cast<VARIANT*>(target));
            return VariantCopy(static_cast<VARIANT*>(target), static_cast<const VARIANT*>(source));
        default:
            std::memcpy(target, source, ElementSize(vt));
            return S_OK;
    }
}

HRESULT CellIndex(SAFEARRAY* psa, const LONG* indices, std::size_t* index) {
    std::size_t cell = 0;
    std::size_t stride = 1;
    for (unsigned int i = 0; i < psa->cDims; ++i) {
        const SAFEARRAYBOUND& bound = Bounds(psa)[i];
        const std::int64_t offset = std::int64_t{indices[i]} - bound.lLbound;
        if (offset < 0 || offset >= std::int64_t{bound.cElements}) return DISP_E_BADINDEX;
        cell += static_cast<std::size_t>(offset) * stride;
        stride *= bound.cElements;
    }
    *index = cell;
    return S_OK;
}

SAFEARRAY* AllocateDescriptor(VARTYPE vt, unsigned int cDims) {
    auto* psa = static_cast<SAFEARRAY*>(std::calloc(1, DescriptorSize(cDims)));
    if (psa == nullptr) return nullptr;
    psa->cDims = static_cast<USHORT>(cDims);
    psa->fFeatures = FeaturesOf(vt);
    psa->cbElements = ElementSize(vt);
    psa->vt = vt;
    return psa;
}

// Allocates zeroed element storage for a descriptor whose bounds are set.
bool AllocateData(SAFEARRAY* psa) {
    std::size_t cells;
    if (!CellCount(psa, &cells)) return false;
    psa->pvData = std::calloc(cells == 0 ? 1 : cells, psa->cbElements);
    return psa->pvData != nullptr;
}

}  // namespace

SAFEARRAY* SafeArrayCreate(VARTYPE vt, unsigned int cDims, SAFEARRAYBOUND* bounds) {
    if (bounds == nullptr || cDims == 0 || cDims > std::numeric_limits<USHORT>::max() || ElementSize(vt) == 0) {
        return nullptr;
    }
    SAFEARRAY* psa = AllocateDescriptor(vt, cDims);
    if (psa == nullptr) return nullptr;
    for (unsigned int i = 0; i < cDims; ++i) Bounds(psa)[i] = bounds[cDims - 1 - i];
    if (!AllocateData(psa)) {
        std::free(psa);
        return nullptr;
    }
    return psa;
}

HRESULT SafeArrayAllocDescriptorEx(VARTYPE vt, unsigned int cDims, SAFEARRAY** out) {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    if (cDims == 0 || cDims > std::numeric_limits<USHORT>::max() || ElementSize(vt) == 0) return E_INVALIDARG;
    *out = AllocateDescriptor(vt, cDims);
    return *out != nullptr ? S_OK : E_OUTOFMEMORY;
}

SAFEARRAY* SafeArrayCreateVector(VARTYPE vt, LONG lowerBound, ULONG elements) {
    SAFEARRAYBOUND bound{elements, lowerBound};
    return SafeArrayCreate(vt, 1, &bound);
}

HRESULT SafeArrayDestroy(SAFEARRAY* psa) {
    if (psa == nullptr) return S_OK;
    if (psa->cLocks > 0) return DISP_E_ARRAYISLOCKED;
    // Long arrays of numbers are freed without a walk over their cells.
    if (CellsOwnResources(psa->vt)) {
        const std::size_t cells = TotalCells(psa);
        for (std::size_t i = 0; i < cells; ++i) ReleaseCell(psa->vt, Cell(psa, i));
    }
    if (!(psa->fFeatures & FADF_STATIC)) std::free(psa->pvData);
    std::free(psa);
    return S_OK;
}

unsigned int SafeArrayGetDim(SAFEARRAY* psa) { return psa == nullptr ? 0 : psa->cDims; }

unsigned int SafeArrayGetElemsize(SAFEARRAY* psa) { return psa == nullptr ? 0 : psa->cbElements; }

HRESULT SafeArrayGetVartype(SAFEARRAY* psa, VARTYPE* vt) {
    if (psa == nullptr || vt == nullptr) return E_INVALIDARG;
    *vt = psa->vt;
    return S_OK;
}

HRESULT SafeArrayGetLBound(SAFEARRAY* psa, unsigned int dim, LONG* lower) {
    if (psa == nullptr || lower == nullptr) return E_INVALIDARG;
    if (dim == 0 || dim > psa->cDims) return DISP_E_BADINDEX;
    *lower = Bounds(psa)[psa->cDims - dim].lLbound;
    return S_OK;
}

HRESULT SafeArrayGetUBound(SAFEARRAY* psa, unsigned int dim, LONG* upper) {
    if (psa == nullptr || upper == nullptr) return E_INVALIDARG;
    if (dim == 0 || dim > psa->cDims) return DISP_E_BADINDEX;
    const SAFEARRAYBOUND& bound = Bounds(psa)[psa->cDims - dim];
    *upper = static_cast<LONG>(std::int64_t{bound.lLbound} + bound.cElements - 1);
    return S_OK;
}

HRESULT SafeArrayAccessData(SAFEARRAY* psa, void** data) {
    if (psa == nullptr || data == nullptr) return E_INVALIDARG;
    if (psa->cLocks >= kMaxLocks) return E_UNEXPECTED;
    ++psa->cLocks;
    *data = psa->pvData;
    return S_OK;
}

HRESULT SafeArrayUnaccessData(SAFEARRAY* psa) {
    if (psa == nullptr) return E_INVALIDARG;
    if (psa->cLocks == 0) return E_UNEXPECTED;
    --psa->cLocks;
    return S_OK;
}

HRESULT SafeArrayGetElement(SAFEARRAY* psa, LONG* indices, void* value) {
    if (psa == nullptr || indices == nullptr || value == nullptr) return E_INVALIDARG;
    std::size_t index;
    const HRESULT hr = CellIndex(psa, indices, &index);
    if (FAILED(hr)) return hr;
    return CopyCell(psa->vt, value, Cell(psa, index));
}

HRESULT SafeArrayPutElement(SAFEARRAY* psa, LONG* indices, void* value) {
    if (psa == nullptr || indices == nullptr) return E_INVALIDARG;
    // Strings and interfaces are passed as the pointer itself (null allowed),
    // everything else by address.
    const bool byPointer = psa->vt == VT_BSTR || psa->vt == VT_UNKNOWN || psa->vt == VT_DISPATCH;
    if (!byPointer && value == nullptr) return E_INVALIDARG;
    std::size_t index;
    HRESULT hr = CellIndex(psa, indices, &index);
    if (FAILED(hr)) return hr;

    alignas(VARIANT) char fresh[sizeof(VARIANT)];
    hr = byPointer ? CopyCell(psa->vt, fresh, &value) : CopyCell(psa->vt, fresh, value);
    if (FAILED(hr)) return hr;
    ReleaseCell(psa->vt, Cell(psa, index));
    std::memcpy(Cell(psa, index), fresh, psa->cbElements);
    return S_OK;
}

HRESULT SafeArrayCopy(SAFEARRAY* psa, SAFEARRAY** out) {
    if (out == nullptr) return E_INVALIDARG;
    *out = nullptr;
    if (psa == nullptr) return S_OK;

    SAFEARRAY* copy = AllocateDescriptor(psa->vt, psa->cDims);
    if (copy == nullptr) return E_OUTOFMEMORY;
    std::memcpy(Bounds(copy), Bounds(psa), psa->cDims * sizeof(SAFEARRAYBOUND));
    if (!AllocateData(copy)) {
        std::free(copy);
        return E_OUTOFMEMORY;
    }
    const std::size_t cells = TotalCells(psa);
    for (std::size_t i = 0; i < cells; ++i) {
        const HRESULT hr = CopyCell(psa->vt, Cell(copy, i), Cell(psa, i));
        if (FAILED(hr)) {
            SafeArrayDestroy(copy);  // cells not yet copied are zero and free nothing
            return hr;
        }
    }
    *out = copy;
    return S_OK;
}
