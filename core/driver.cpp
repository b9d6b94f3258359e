#include "core/driver.h"

#include "core/engine/model_tables.h"
#include "core/option_parsing.h"
#include "services/module_lock.h"

namespace ztv {

Zentrava::Zentrava() : engine::CObjectNode(engine::kRootNodeClass) { ModuleLock(); }

Zentrava::~Zentrava() {
    ReleaseCollections();
    provider_.Close();
    ModuleUnlock();
}

HRESULT Zentrava::CreateInstance(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    const auto driver = com::ComPtr<Zentrava>::Adopt(new (std::nothrow) Zentrava());
    if (!driver) return E_OUTOFMEMORY;
    HRESULT hr = driver->CreateFacets();
    if (SUCCEEDED(hr)) hr = driver->QueryInterface(riid, ppv);
    return hr;
}

HRESULT Zentrava::QueryInterface(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IIviDriver)
        *ppv = static_cast<IIviDriver*>(this);
    else if (riid == IID_IIviDriverOperation)
        *ppv = static_cast<IIviDriverOperation*>(this);
    else if (riid == IID_IIviDriverIdentity || riid == IID_IIviComponentIdentity)
        *ppv = static_cast<IIviDriverIdentity*>(this);
    else if (riid == IID_IIviDriverUtility)
        *ppv = static_cast<IIviDriverUtility*>(this);
    else if (riid == IID_IIviClassWrapper)
        *ppv = static_cast<IIviClassWrapper*>(this);
    else if (riid == IID_IZentravaServiceRequest)
        *ppv = static_cast<IZentravaServiceRequest*>(this);
    else if (riid == IID_ISupportErrorInfo)
        *ppv = static_cast<ISupportErrorInfo*>(this);
    else
        return QueryFacet(riid, ppv);
    AddRef();
    return S_OK;
}

ULONG Zentrava::AddRef() { return refs_.fetch_add(1, std::memory_order_relaxed) + 1; }

ULONG Zentrava::Release() {
    const ULONG left = refs_.fetch_sub(1, std::memory_order_acq_rel) - 1;
    if (left == 0) delete this;
    return left;
}

HRESULT Zentrava::InterfaceSupportsErrorInfo(REFIID riid) {
    static const IID* const supported[] = {
        &IID_IIviDriver,        &IID_IIviDriverIdentity,    &IID_IIviDriverOperation,
        &IID_IIviDriverUtility, &IID_IIviComponentIdentity, &IID_IZentravaServiceRequest};
    for (const IID* iid : supported)
        if (*iid == riid) return S_OK;
    return HasFacet(riid) ? S_OK : S_FALSE;
}

HRESULT Zentrava::RequireInitialized() const {
    return state_.initialized ? S_OK : errors_.ReportError(IDS_E_IVI_NOT_INITIALIZED);
}

HRESULT Zentrava::NullPointer(std::string_view member, std::string_view parameter) const {
    return errors_.ReportError(IDS_E_IVI_NULL_POINTER, member, parameter);
}

HRESULT Zentrava::ReturnText(std::string_view text, BSTR* out, std::string_view member,
                             std::string_view parameter) const {
    if (!out) return NullPointer(member, parameter);
    *out = Utf8ToBstr(text);
    return *out ? S_OK : E_OUTOFMEMORY;
}

std::optional<std::string> Zentrava::OptionValue(std::string_view name) const {
    auto it = state_.optionTable.find(ToLower(name));
    if (it == state_.optionTable.end()) return std::nullopt;
    return it->second;
}

std::optional<std::string> Zentrava::DriverSetupValue(std::string_view name) const {
    auto it = state_.driverSetupTable.find(ToLower(name));
    if (it == state_.driverSetupTable.end()) return std::nullopt;
    return it->second;
}

void Zentrava::InvalidateCaches() { InvalidateTree(); }

// ---- IIviDriver -------------------------------------------------------------

HRESULT Zentrava::get_DriverOperation(IIviDriverOperation** pVal) {
    return Entry("IIviDriver", "get_DriverOperation", {TraceArg::OutInterface("pVal", pVal)}, [&] {
        if (!pVal) return NullPointer("get_DriverOperation", "pVal");
        *pVal = this;
        AddRef();
        return S_OK;
    });
}

HRESULT Zentrava::get_Identity(IIviDriverIdentity** pVal) {
    return Entry("IIviDriver", "get_Identity", {TraceArg::OutInterface("pVal", pVal)}, [&] {
        if (!pVal) return NullPointer("get_Identity", "pVal");
        *pVal = this;
        AddRef();
        return S_OK;
    });
}

HRESULT Zentrava::get_Utility(IIviDriverUtility** pVal) {
    return Entry("IIviDriver", "get_Utility", {TraceArg::OutInterface("pVal", pVal)}, [&] {
        if (!pVal) return NullPointer("get_Utility", "pVal");
        *pVal = this;
        AddRef();
        return S_OK;
    });
}

HRESULT Zentrava::Initialize(BSTR ResourceName, VARIANT_BOOL IdQuery, VARIANT_BOOL Reset, BSTR OptionString) {
    // Initialize and Close open and end the trace itself: they are not traced.
    return Locked([&] { return InitializeSession(ResourceName, IdQuery != 0, Reset != 0, OptionString); });
}

HRESULT Zentrava::get_Initialized(VARIANT_BOOL* pVal) {
    return Entry("IIviDriver", "get_Initialized", {TraceArg::OutBoolean("pVal", pVal)},
                 [&] { return ReturnFlag(state_.initialized, pVal, "get_Initialized", "pVal"); });
}

// ---- IIviClassWrapper: the driver keeps no IVI-C handle of its own ----------

HRESULT Zentrava::AttachToExistingCSession(LONG Vi) {
    return InitializedEntry("IIviClassWrapper", "AttachToExistingCSession", {TraceArg::In("Vi", Vi)}, [&] {
        return errors_.ReportError(IDS_E_IVI_METHOD_NOT_SUPPORTED, "AttachToExistingCSession");
    });
}

HRESULT Zentrava::get_NativeCHandle(LONG* pVal) {
    return InitializedEntry("IIviClassWrapper", "get_NativeCHandle", {TraceArg::Out("pVal", pVal)}, [&] {
        if (!pVal) return NullPointer("get_NativeCHandle", "pVal");
        *pVal = 0;
        return errors_.ReportError(IDS_E_IVI_PROPERTY_NOT_SUPPORTED, "get_NativeCHandle");
    });
}

}  // namespace ztv
