// The driver object: the one object a client creates. It owns the session
// with one instrument, its option flags and identity, the I/O session and
// the inherent IVI interfaces.
#pragma once

#include <atomic>
#include <mutex>
#include <new>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/engine/object_node.h"
#include "core/io_manager.h"
#include "core/session_state.h"
#include "core/visa_provider.h"
#include "services/cache.h"
#include "services/coercion_log.h"
#include "services/error_manager.h"
#include "services/tracing/method_trace.h"
#include "services/tracing/trace_owner.h"
#include "zentrava/ivi.h"
#include "zentrava/service_request.h"

namespace ivi {
struct DataComponent;
struct DriverSession;
}  // namespace ivi

namespace ztv {

class Zentrava final : public IIviDriver,
                       public IIviDriverOperation,
                       public IIviDriverIdentity,
                       public IIviDriverUtility,
                       public IIviClassWrapper,
                       public IZentravaServiceRequest,
                       public ISupportErrorInfo,
                       public engine::CObjectNode {
public:
    // The class factory's creation: a new, uninitialized driver object.
    static HRESULT CreateInstance(REFIID riid, void** ppv);

    // IUnknown
    HRESULT QueryInterface(REFIID riid, void** ppv) override;
    ULONG AddRef() override;
    ULONG Release() override;

    // IIviDriver
    HRESULT get_DriverOperation(IIviDriverOperation** pVal) override;
    HRESULT get_Identity(IIviDriverIdentity** pVal) override;
    HRESULT get_Utility(IIviDriverUtility** pVal) override;
    HRESULT Initialize(BSTR ResourceName, VARIANT_BOOL IdQuery, VARIANT_BOOL Reset, BSTR OptionString) override;
    HRESULT Close() override;
    HRESULT get_Initialized(VARIANT_BOOL* pVal) override;

    // IIviDriverOperation
    HRESULT get_Cache(VARIANT_BOOL* pbCache) override;
    HRESULT put_Cache(VARIANT_BOOL bCache) override;
    HRESULT get_DriverSetup(BSTR* pVal) override;
    HRESULT ClearInterchangeWarnings() override;
    HRESULT GetNextCoercionRecord(BSTR* pbstrRecord) override;
    HRESULT GetNextInterchangeWarning(BSTR* pbstrWarning) override;
    HRESULT get_InterchangeCheck(VARIANT_BOOL* pbInterchangeCheck) override;
    HRESULT put_InterchangeCheck(VARIANT_BOOL bInterchangeCheck) override;
    HRESULT get_LogicalName(BSTR* pbstrName) override;
    HRESULT get_QueryInstrumentStatus(VARIANT_BOOL* pbQueryInstrStatus) override;
    HRESULT put_QueryInstrumentStatus(VARIANT_BOOL bQueryInstrStatus) override;
    HRESULT get_RangeCheck(VARIANT_BOOL* pbRangeCheck) override;
    HRESULT put_RangeCheck(VARIANT_BOOL bRangeCheck) override;
    HRESULT get_RecordCoercions(VARIANT_BOOL* pbRecordCoercions) override;
    HRESULT put_RecordCoercions(VARIANT_BOOL bRecordCoercions) override;
    HRESULT ResetInterchangeCheck() override;
    HRESULT get_IoResourceDescriptor(BSTR* pbstrName) override;
    HRESULT get_Simulate(VARIANT_BOOL* pbSimulate) override;
    HRESULT put_Simulate(VARIANT_BOOL bSimulate) override;
    HRESULT InvalidateAllAttributes() override;

    // IIviComponentIdentity / IIviDriverIdentity
    HRESULT get_Description(BSTR* pbstr) override;
    HRESULT get_Revision(BSTR* pbstr) override;
    HRESULT get_Vendor(BSTR* pbstr) override;
    HRESULT get_Identifier(BSTR* pVal) override;
    HRESULT get_GroupCapabilities(BSTR* pbstr) override;
    HRESULT get_SupportedInstrumentModels(BSTR* pbstr) override;
    HRESULT get_InstrumentManufacturer(BSTR* pbstr) override;
    HRESULT get_InstrumentModel(BSTR* pbstr) override;
    HRESULT get_InstrumentFirmwareRevision(BSTR* pbstr) override;
    HRESULT get_SpecificationMajorVersion(LONG* plVer) override;
    HRESULT get_SpecificationMinorVersion(LONG* plVer) override;

    // IIviDriverUtility
    HRESULT Disable() override;
    HRESULT ErrorQuery(LONG* pCode, BSTR* pMessage) override;
    HRESULT LockObject() override;
    HRESULT Reset() override;
    HRESULT ResetWithDefaults() override;
    HRESULT SelfTest(LONG* pResult, BSTR* pMessage) override;
    HRESULT UnlockObject() override;

    // IIviClassWrapper
    HRESULT AttachToExistingCSession(LONG Vi) override;
    HRESULT get_NativeCHandle(LONG* pVal) override;

    // IZentravaServiceRequest (an extension)
    HRESULT WaitForServiceRequest(LONG TimeoutMs, SHORT* StatusByte) override;

    // ISupportErrorInfo
    HRESULT InterfaceSupportsErrorInfo(REFIID riid) override;

    // ---- Used by the rest of the driver (call with the object lock held) ----
    const SessionState& State() const { return state_; }
    const SessionFlags& Flags() const { return state_.flags; }
    // For members that switch status polling off around a query of their own
    // and put it back without the "*CLS" that enabling it sends.
    SessionFlags& MutableFlags() { return state_.flags; }
    bool IsInitialized() const { return state_.initialized; }
    bool IsModelSupported() const;
    CVisaComIOProvider& Provider() { return provider_; }
    CCoercionLog& CoercionLog() { return coercions_; }
    CTraceOwner& Tracer() { return tracer_; }

    // engine::CObjectNode: the driver object is the root of the object tree.
    IUnknown* Identity() override { return static_cast<IIviDriver*>(this); }
    std::recursive_mutex& Lock() override { return mutex_; }
    CErrorManager& Errors() override { return errors_; }
    CCacheManager& Cache() override { return cache_; }
    CDriverIOManager& IO() override { return io_; }
    Zentrava* AttachedRoot() override { return this; }
    engine::CObjectNode* ParentNode() override { return nullptr; }

    // The call context: the members running on this session, innermost last.
    void EnterCallContext(const engine::MemberDesc& member) { callContext_.push_back(&member); }
    void LeaveCallContext() {
        if (!callContext_.empty()) callContext_.pop_back();
    }
    const std::vector<const engine::MemberDesc*>& CallContext() const { return callContext_; }

    std::optional<std::string> OptionValue(std::string_view name) const;
    std::optional<std::string> DriverSetupValue(std::string_view name) const;

    // Option processing (exposed so that the grammar is testable on its own).
    HRESULT ProcessOptionString(std::string_view optionString);
    HRESULT ProcessDriverSetup(std::string_view text);
    HRESULT ProcessInitOption(std::string name, std::string value);
    HRESULT ProcessDriverSetupOption(std::string name, std::string value);

private:
    Zentrava();
    ~Zentrava();

    // Runs a public member under the object lock; no exception leaves it.
    template <class F>
    HRESULT Locked(F&& body) noexcept {
        try {
            std::lock_guard lock(mutex_);
            return body();
        } catch (const std::bad_alloc&) {
            return E_OUTOFMEMORY;
        } catch (...) {
            return E_UNEXPECTED;
        }
    }
    // A member of an inherent interface, locked and traced with its arguments
    // as the members of the object model are.
    template <class F>
    HRESULT Entry(const char* iface, const char* member, std::initializer_list<TraceArg> args, F&& body) noexcept {
        return Locked([&] { return Traced(iface, member, args, body); });
    }
    // The same for members that need an initialized session; a call refused
    // for that leaves no record.
    template <class F>
    HRESULT InitializedEntry(const char* iface, const char* member, std::initializer_list<TraceArg> args,
                             F&& body) noexcept {
        return Locked([&] {
            const HRESULT hr = RequireInitialized();
            return FAILED(hr) ? hr : Traced(iface, member, args, body);
        });
    }
    template <class F>
    HRESULT Traced(const char* iface, const char* member, std::initializer_list<TraceArg> args, F& body) {
        CMethodTrace trace;  // ends before the lock is released
        trace.Begin(&tracer_, iface, member, args);
        return body();
    }
    HRESULT RequireInitialized() const;
    HRESULT NullPointer(std::string_view member, std::string_view parameter) const;
    HRESULT ReturnText(std::string_view text, BSTR* out, std::string_view member, std::string_view parameter) const;
    template <class Flag>
    HRESULT ReturnFlag(Flag value, VARIANT_BOOL* out, std::string_view member, std::string_view parameter) const {
        if (!out) return NullPointer(member, parameter);
        *out = value ? VARIANT_TRUE : VARIANT_FALSE;
        return S_OK;
    }
    // Inherent members that read or write one value the driver holds, under
    // the lock. GetFixedText needs no session.
    template <class Text>
    HRESULT GetText(const char* iface, const char* member, const char* parameter, const Text& text, BSTR* out) {
        return InitializedEntry(iface, member, {TraceArg::Out(parameter, out)},
                                [&] { return ReturnText(text, out, member, parameter); });
    }
    HRESULT GetFixedText(const char* iface, const char* member, const char* parameter, std::string_view text,
                         BSTR* out);
    // SelfTest and ErrorQuery: both outputs checked, the caller's text
    // released, the code preset to 0.
    HRESULT ClearCodeAndMessage(const char* member, const char* codeName, LONG* code, BSTR* message) const;
    HRESULT GetFlag(const char* member, const char* parameter, const bool& flag, VARIANT_BOOL* out);
    HRESULT PutFlag(const char* member, const char* parameter, bool& flag, VARIANT_BOOL value);

    HRESULT InitializeSession(BSTR resourceName, bool idQuery, bool reset, BSTR optionString);
    HRESULT ConfigurationPhase(const std::string& resourceName);
    HRESULT LoadDriverConfiguration(const ivi::DriverSession* session);
    HRESULT LoadConfigurableInitialSettings(const std::vector<ivi::DataComponent>& owner);
    void LoadVirtualNames(const ivi::DriverSession& session);
    HRESULT StartTrace();
    HRESULT OpenInstrumentIO();
    HRESULT CloseInstrumentIO();
    HRESULT IdentifyInstrument();
    HRESULT InitializeRepCaps();
    HRESULT ReleaseRepCaps();
    HRESULT RestoreInitialSettings();
    void InvalidateCaches();
    static bool IsInterchangeCheckSupported() { return false; }

    std::atomic<ULONG> refs_{1};
    std::recursive_mutex mutex_;
    SessionState state_;
    CErrorManager errors_;
    CCacheManager cache_;
    CCoercionLog coercions_;
    CVisaComIOProvider provider_;
    CTraceOwner tracer_;
    CDriverIOManager io_{provider_, errors_, &tracer_};
    std::vector<const engine::MemberDesc*> callContext_;
};

}  // namespace ztv
