// A stack-friendly IUnknown whose reference count the tests can watch.
#pragma once

#include <atomic>

#include "zentrava/com.h"

class CountedUnknown : public IUnknown {
public:
    HRESULT QueryInterface(REFIID riid, void** ppv) override {
        if (riid != IID_IUnknown) {
            *ppv = nullptr;
            return E_NOINTERFACE;
        }
        *ppv = this;
        AddRef();
        return S_OK;
    }
    ULONG AddRef() override { return ++refs_; }
    ULONG Release() override { return --refs_; }
    ULONG refs() const { return refs_; }

private:
    std::atomic<ULONG> refs_{1};
};
