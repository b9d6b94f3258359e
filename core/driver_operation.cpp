// IIviDriverOperation: the inherent flags, the names in use, the coercion log
// and the (unsupported) interchange checking.
#include "core/driver.h"

namespace ztv {

HRESULT Zentrava::GetFlag(const char* member, const char* parameter, const bool& flag, VARIANT_BOOL* out) {
    return InitializedEntry("IIviDriverOperation", member, {TraceArg::OutBoolean(parameter, out)},
                            [&] { return ReturnFlag(flag, out, member, parameter); });
}

HRESULT Zentrava::PutFlag(const char* member, const char* parameter, bool& flag, VARIANT_BOOL value) {
    return InitializedEntry("IIviDriverOperation", member, {TraceArg::InBoolean(parameter, value)}, [&] {
        flag = value != VARIANT_FALSE;
        return S_OK;
    });
}

HRESULT Zentrava::get_Cache(VARIANT_BOOL* pbCache) {
    return GetFlag("get_Cache", "pbCache", state_.flags.cache, pbCache);
}

HRESULT Zentrava::put_Cache(VARIANT_BOOL bCache) {
    return InitializedEntry("IIviDriverOperation", "put_Cache", {TraceArg::InBoolean("bCache", bCache)}, [&] {
        state_.flags.cache = bCache != VARIANT_FALSE;
        if (!state_.flags.cache) InvalidateCaches();
        return S_OK;
    });
}

HRESULT Zentrava::get_DriverSetup(BSTR* pVal) {
    return GetText("IIviDriverOperation", "get_DriverSetup", "pVal", state_.driverSetup, pVal);
}

HRESULT Zentrava::get_InterchangeCheck(VARIANT_BOOL* pbInterchangeCheck) {
    return GetFlag("get_InterchangeCheck", "pbInterchangeCheck", state_.flags.interchangeCheck, pbInterchangeCheck);
}

HRESULT Zentrava::put_InterchangeCheck(VARIANT_BOOL bInterchangeCheck) {
    return InitializedEntry("IIviDriverOperation", "put_InterchangeCheck",
                            {TraceArg::InBoolean("bInterchangeCheck", bInterchangeCheck)}, [&] {
                                if (bInterchangeCheck != VARIANT_FALSE)
                                    return errors_.ReportError(IDS_E_IVI_VALUE_NOT_SUPPORTED, "VARIANT_TRUE",
                                                               "bInterchangeCheck", "put_InterchangeCheck");
                                state_.flags.interchangeCheck = false;
                                return S_OK;
                            });
}

HRESULT Zentrava::get_LogicalName(BSTR* pbstrName) {
    return GetText("IIviDriverOperation", "get_LogicalName", "pbstrName", state_.logicalName, pbstrName);
}

HRESULT Zentrava::get_IoResourceDescriptor(BSTR* pbstrName) {
    return GetText("IIviDriverOperation", "get_IoResourceDescriptor", "pbstrName", state_.resourceDescriptor,
                   pbstrName);
}

HRESULT Zentrava::get_QueryInstrumentStatus(VARIANT_BOOL* pbQueryInstrStatus) {
    return GetFlag("get_QueryInstrumentStatus", "pbQueryInstrStatus", state_.flags.queryInstrumentStatus,
                   pbQueryInstrStatus);
}

HRESULT Zentrava::put_QueryInstrumentStatus(VARIANT_BOOL bQueryInstrStatus) {
    return InitializedEntry("IIviDriverOperation", "put_QueryInstrumentStatus",
                            {TraceArg::InBoolean("bQueryInstrStatus", bQueryInstrStatus)}, [&] {
                                state_.flags.queryInstrumentStatus = bQueryInstrStatus != VARIANT_FALSE;
                                // Start checking from a clean status, so that old errors are not blamed on the next
                                // command.
                                if (state_.flags.queryInstrumentStatus && !state_.flags.simulate)
                                    return io_.InstrWrite("*CLS", kCurrentTimeout);
                                return S_OK;
                            });
}

HRESULT Zentrava::get_RangeCheck(VARIANT_BOOL* pbRangeCheck) {
    return GetFlag("get_RangeCheck", "pbRangeCheck", state_.flags.rangeCheck, pbRangeCheck);
}

HRESULT Zentrava::put_RangeCheck(VARIANT_BOOL bRangeCheck) {
    return PutFlag("put_RangeCheck", "bRangeCheck", state_.flags.rangeCheck, bRangeCheck);
}

HRESULT Zentrava::get_RecordCoercions(VARIANT_BOOL* pbRecordCoercions) {
    return GetFlag("get_RecordCoercions", "pbRecordCoercions", state_.flags.recordCoercions, pbRecordCoercions);
}

HRESULT Zentrava::put_RecordCoercions(VARIANT_BOOL bRecordCoercions) {
    return PutFlag("put_RecordCoercions", "bRecordCoercions", state_.flags.recordCoercions, bRecordCoercions);
}

HRESULT Zentrava::get_Simulate(VARIANT_BOOL* pbSimulate) {
    return GetFlag("get_Simulate", "pbSimulate", state_.flags.simulate, pbSimulate);
}

HRESULT Zentrava::put_Simulate(VARIANT_BOOL bSimulate) {
    return InitializedEntry("IIviDriverOperation", "put_Simulate", {TraceArg::InBoolean("bSimulate", bSimulate)}, [&] {
        // A session that started simulated has no instrument to fall back to.
        if (bSimulate == VARIANT_FALSE && state_.initialFlags.simulate)
            return errors_.ReportError(IDS_E_IVI_CANNOT_CHANGE_SIMULATION_STATE);
        state_.flags.simulate = bSimulate != VARIANT_FALSE;
        return S_OK;
    });
}

HRESULT Zentrava::InvalidateAllAttributes() {
    return InitializedEntry("IIviDriverOperation", "InvalidateAllAttributes", {}, [&] {
        InvalidateCaches();
        return S_OK;
    });
}

HRESULT Zentrava::GetNextCoercionRecord(BSTR* pbstrRecord) {
    return InitializedEntry("IIviDriverOperation", "GetNextCoercionRecord", {TraceArg::Out("pbstrRecord", pbstrRecord)},
                            [&] {
                                if (!pbstrRecord) return NullPointer("GetNextCoercionRecord", "pbstrRecord");
                                *pbstrRecord = nullptr;
                                std::string record;
                                if (state_.flags.recordCoercions) record = coercions_.TakeOldest().value_or("");
                                *pbstrRecord = Utf8ToBstr(record);
                                return *pbstrRecord ? S_OK : E_OUTOFMEMORY;
                            });
}

HRESULT Zentrava::GetNextInterchangeWarning(BSTR* pbstrWarning) {
    return InitializedEntry("IIviDriverOperation", "GetNextInterchangeWarning",
                            {TraceArg::Out("pbstrWarning", pbstrWarning)}, [&] {
                                if (!pbstrWarning) return NullPointer("GetNextInterchangeWarning", "pbstrWarning");
                                *pbstrWarning = nullptr;
                                return errors_.ReportError(IDS_E_IVI_METHOD_NOT_SUPPORTED, "GetNextInterchangeWarning");
                            });
}

HRESULT Zentrava::ClearInterchangeWarnings() {
    return InitializedEntry("IIviDriverOperation", "ClearInterchangeWarnings", {}, [&] {
        return errors_.ReportError(IDS_E_IVI_METHOD_NOT_SUPPORTED, "ClearInterchangeWarnings");
    });
}

HRESULT Zentrava::ResetInterchangeCheck() {
    return InitializedEntry("IIviDriverOperation", "ResetInterchangeCheck", {}, [&] {
        return errors_.ReportError(IDS_E_IVI_METHOD_NOT_SUPPORTED, "ResetInterchangeCheck");
    });
}

}  // namespace ztv
