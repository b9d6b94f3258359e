// COM error objects: one object implements both the writer's and the
// reader's interface, and each thread holds at most one current object.
#include <new>
#include <string>

#include "zentrava/raii.h"

namespace {

HRESULT CopyOut(const std::u16string& text, BSTR* out) {
    if (out == nullptr) return E_INVALIDARG;
    *out = SysAllocStringLen(text.data(), static_cast<unsigned int>(text.size()));
    return *out == nullptr ? E_OUTOFMEMORY : S_OK;
}

class ErrorObject final : public com::ComObject<ErrorObject, com::Implements<ICreateErrorInfo, IID_ICreateErrorInfo>,
                                                com::Implements<IErrorInfo, IID_IErrorInfo>> {
public:
    HRESULT SetGUID(REFGUID guid) override {
        guid_ = guid;
        return S_OK;
    }
    HRESULT SetSource(LPCOLESTR source) override { return Assign(source_, source); }
    HRESULT SetDescription(LPCOLESTR description) override { return Assign(description_, description); }
    HRESULT SetHelpFile(LPCOLESTR helpFile) override { return Assign(helpFile_, helpFile); }
    HRESULT SetHelpContext(DWORD helpContext) override {
        helpContext_ = helpContext;
        return S_OK;
    }

    HRESULT GetGUID(GUID* guid) override {
        if (guid == nullptr) return E_INVALIDARG;
        *guid = guid_;
        return S_OK;
    }
    HRESULT GetSource(BSTR* source) override { return CopyOut(source_, source); }
    HRESULT GetDescription(BSTR* description) override { return CopyOut(description_, description); }
    HRESULT GetHelpFile(BSTR* helpFile) override { return CopyOut(helpFile_, helpFile); }
    HRESULT GetHelpContext(DWORD* helpContext) override {
        if (helpContext == nullptr) return E_INVALIDARG;
        *helpContext = helpContext_;
        return S_OK;
    }

private:
    static HRESULT Assign(std::u16string& field, LPCOLESTR text) {
        field.assign(BstrView(text));
        return S_OK;
    }

    GUID guid_ = GUID_NULL;
    std::u16string source_, description_, helpFile_;
    DWORD helpContext_ = 0;
};

// Releases the thread's object when the thread ends.
struct ThreadErrorSlot {
    IErrorInfo* info = nullptr;
    ~ThreadErrorSlot() {
        if (info != nullptr) info->Release();
    }
};

thread_local ThreadErrorSlot t_errorSlot;

}  // namespace

HRESULT CreateErrorInfo(ICreateErrorInfo** out) {
    if (out == nullptr) return E_INVALIDARG;
    *out = new (std::nothrow) ErrorObject();
    return *out == nullptr ? E_OUTOFMEMORY : S_OK;
}

HRESULT SetErrorInfo(ULONG reserved, IErrorInfo* info) {
    if (reserved != 0) return E_INVALIDARG;
    if (info != nullptr) info->AddRef();
    IErrorInfo* previous = t_errorSlot.info;
    t_errorSlot.info = info;
    // Released last: the old object's destructor may set error info itself.
    if (previous != nullptr) previous->Release();
    return S_OK;
}

HRESULT GetErrorInfo(ULONG reserved, IErrorInfo** out) {
    if (out == nullptr || reserved != 0) return E_INVALIDARG;
    *out = t_errorSlot.info;
    t_errorSlot.info = nullptr;
    return *out == nullptr ? S_FALSE : S_OK;
}
