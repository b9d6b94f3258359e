// A class object that lives as long as the module: IUnknown without
// counting, and the checks every CreateInstance makes before the derived
// class creates the object.
#pragma once

#include "zentrava/com.h"

namespace com {

class StaticClassFactory : public IClassFactory {
public:
    HRESULT QueryInterface(REFIID riid, void** ppv) final {
        if (ppv == nullptr) return E_POINTER;
        if (riid != IID_IUnknown && riid != IID_IClassFactory) {
            *ppv = nullptr;
            return E_NOINTERFACE;
        }
        *ppv = static_cast<IClassFactory*>(this);
        return S_OK;
    }
    ULONG AddRef() final { return 2; }
    ULONG Release() final { return 1; }

    HRESULT CreateInstance(IUnknown* outer, REFIID riid, void** ppv) final {
        if (ppv == nullptr) return E_POINTER;
        *ppv = nullptr;
        if (outer != nullptr) return CLASS_E_NOAGGREGATION;
        return CreateObject(riid, ppv);
    }
    HRESULT LockServer(int /*lock*/) override { return S_OK; }

protected:
    ~StaticClassFactory() = default;
    // A new object, asked for `riid`.
    virtual HRESULT CreateObject(REFIID riid, void** ppv) = 0;
};

}  // namespace com
