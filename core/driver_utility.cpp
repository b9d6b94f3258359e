// IIviDriverUtility: reset, self-test, error query and disable.
#include "core/driver.h"
#include "core/reply_parsing.h"

namespace ztv {
namespace {

// Reset, disable and self-test can keep the instrument busy for a while.
constexpr LONG kLongOperationTimeout = 30000;

// Ends a self-test or error query that has not failed with its answer's text.
HRESULT Answer(HRESULT hr, std::string_view text, BSTR* message) {
    if (FAILED(hr)) return hr;
    *message = Utf8ToBstr(text);
    return *message ? hr : E_OUTOFMEMORY;
}

}  // namespace

HRESULT Zentrava::ClearCodeAndMessage(const char* member, const char* codeName, LONG* code, BSTR* message) const {
    if (!message) return NullPointer(member, "pMessage");
    com::Bstr::Adopt(std::exchange(*message, nullptr));  // the caller's text is replaced
    if (!code) return NullPointer(member, codeName);
    *code = 0;
    return S_OK;
}

HRESULT Zentrava::Disable() {
    return InitializedEntry("IIviDriverUtility", "Disable", {}, [&] {
        if (state_.flags.simulate) return S_OK;
        LONG reply = 0;
        return io_.InstrQuery("*RST;*OPC?", &reply, kLongOperationTimeout);
    });
}

HRESULT Zentrava::Reset() {
    return InitializedEntry("IIviDriverUtility", "Reset", {}, [&] {
        HRESULT hr = S_OK;
        if (!state_.flags.simulate) {
            LONG reply = 0;
            hr = io_.InstrQuery("*RST;*OPC?", &reply, kLongOperationTimeout);
        }
        InvalidateCaches();
        return hr;
    });
}

HRESULT Zentrava::ResetWithDefaults() {
    return InitializedEntry("IIviDriverUtility", "ResetWithDefaults", {}, [&] {
        const HRESULT hr = Reset();
        return FAILED(hr) ? hr : RestoreInitialSettings();
    });
}

HRESULT Zentrava::RestoreInitialSettings() {
    const SessionFlags initial = state_.initialFlags;
    auto vb = [](bool on) { return on ? VARIANT_TRUE : VARIANT_FALSE; };
    HRESULT hr = put_Cache(vb(initial.cache));
    if (SUCCEEDED(hr)) hr = put_InterchangeCheck(vb(initial.interchangeCheck));
    if (SUCCEEDED(hr)) hr = put_QueryInstrumentStatus(vb(initial.queryInstrumentStatus));
    if (SUCCEEDED(hr)) hr = put_RangeCheck(vb(initial.rangeCheck));
    if (SUCCEEDED(hr)) hr = put_RecordCoercions(vb(initial.recordCoercions));
    if (SUCCEEDED(hr)) hr = put_Simulate(vb(initial.simulate));
    return hr;
}

HRESULT Zentrava::SelfTest(LONG* pResult, BSTR* pMessage) {
    return InitializedEntry("IIviDriverUtility", "SelfTest",
                            {TraceArg::Out("pResult", pResult), TraceArg::Out("pMessage", pMessage)}, [&] {
                                HRESULT hr = ClearCodeAndMessage("SelfTest", "pResult", pResult, pMessage);
                                if (FAILED(hr) || state_.flags.simulate) return Answer(hr, "Selftest passed", pMessage);
                                hr = io_.InstrQuery("*TST?", pResult, kLongOperationTimeout);
                                return Answer(hr, *pResult == 0 ? "Selftest passed" : "Selftest failed", pMessage);
                            });
}

HRESULT Zentrava::ErrorQuery(LONG* pCode, BSTR* pMessage) {
    return InitializedEntry("IIviDriverUtility", "ErrorQuery",
                            {TraceArg::Out("pCode", pCode), TraceArg::Out("pMessage", pMessage)}, [&] {
                                const HRESULT ready = ClearCodeAndMessage("ErrorQuery", "pCode", pCode, pMessage);
                                if (FAILED(ready) || state_.flags.simulate) return Answer(ready, "No error.", pMessage);
                                // Reading the error queue must not itself trip the status check.
                                const bool polling = state_.flags.queryInstrumentStatus;
                                state_.flags.queryInstrumentStatus = false;
                                std::string reply;
                                const HRESULT hr = io_.InstrQuery("SYST:ERR?", &reply, 1023, kCurrentTimeout);
                                state_.flags.queryInstrumentStatus = polling;
                                if (FAILED(hr)) return hr;

                                std::u16string message;
                                if (!ParseErrorQueueReply(Utf8ToWide(reply), pCode, &message))
                                    return errors_.ReportError(IDS_E_IVI_UNEXPECTED_RESPONSE);
                                *pMessage = SysAllocStringLen(message.data(), static_cast<unsigned>(message.size()));
                                return *pMessage ? hr : E_OUTOFMEMORY;
                            });
}

HRESULT Zentrava::LockObject() {
    return InitializedEntry("IIviDriverUtility", "LockObject", {},
                            [&] { return errors_.ReportError(IDS_E_IVI_METHOD_NOT_SUPPORTED, "LockObject"); });
}

HRESULT Zentrava::UnlockObject() {
    return InitializedEntry("IIviDriverUtility", "UnlockObject", {},
                            [&] { return errors_.ReportError(IDS_E_IVI_METHOD_NOT_SUPPORTED, "UnlockObject"); });
}

}  // namespace ztv
