// IIviDriverOperation: the inherent flags, the names in use, the coercion log
// and the (unsupported) interchange checking.
#include "core/driver.h"

namespace ztv {

HRESULT Zentrava::get_Cache(VARIANT_BOOL* pbCache) {
    return InitializedEntry("IIviDriverOperation", "get_Cache", {TraceArg::OutBoolean("pbCache", pbCache)},
                            [&] { return ReturnFlag(state_.flags.cache, pbCache, "get_Cache", "pbCache"); });
}

HRESULT Zentrava::put_Cache(VARIANT_BOOL bCache) {
    return InitializedEntry("IIviDriverOperation", "put_Cache", {TraceArg::InBoolean("bCache", bCache)}, [&] {
        state_.flags.cache = bCache != VARIANT_FALSE;
        if (!state_.flags.cache) InvalidateCaches();
        return S_OK;
    });
}

HRESULT Zentrava::get_DriverSetup(BSTR* pVal) {
    return InitializedEntry("IIviDriverOperation", "get_DriverSetup", {TraceArg::Out("pVal", pVal)},
                            [&] { return ReturnText(state_.driverSetup, pVal, "get_DriverSetup", "pVal"); });
}

HRESULT Zentrava::get_InterchangeCheck(VARIANT_BOOL* pbInterchangeCheck) {
    return InitializedEntry("IIviDriverOperation", "get_InterchangeCheck",
                            {TraceArg::OutBoolean("pbInterchangeCheck", pbInterchangeCheck)}, [&] {
                                return ReturnFlag(state_.flags.interchangeCheck, pbInterchangeCheck,
                                                  "get_InterchangeCheck", "pbInterchangeCheck");
                            });
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
    return InitializedEntry("IIviDriverOperation", "get_LogicalName", {TraceArg::Out("pbstrName", pbstrName)},
                            [&] { return ReturnText(state_.logicalName, pbstrName, "get_LogicalName", "pbstrName"); });
}

HRESULT Zentrava::get_IoResourceDescriptor(BSTR* pbstrName) {
    return InitializedEntry(
        "IIviDriverOperation", "get_IoResourceDescriptor", {TraceArg::Out("pbstrName", pbstrName)},
        [&] { return ReturnText(state_.resourceDescriptor, pbstrName, "get_IoResourceDescriptor", "pbstrName"); });
}

HRESULT Zentrava::get_QueryInstrumentStatus(VARIANT_BOOL* pbQueryInstrStatus) {
    return InitializedEntry("IIviDriverOperation", "get_QueryInstrumentStatus",
                            {TraceArg::OutBoolean("pbQueryInstrStatus", pbQueryInstrStatus)}, [&] {
                                return ReturnFlag(state_.flags.queryInstrumentStatus, pbQueryInstrStatus,
                                                  "get_QueryInstrumentStatus", "pbQueryInstrStatus");
                            });
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
    return InitializedEntry(
        "IIviDriverOperation", "get_RangeCheck", {TraceArg::OutBoolean("pbRangeCheck", pbRangeCheck)},
        [&] { return ReturnFlag(state_.flags.rangeCheck, pbRangeCheck, "get_RangeCheck", "pbRangeCheck"); });
}

HRESULT Zentrava::put_RangeCheck(VARIANT_BOOL bRangeCheck) {
    return InitializedEntry("IIviDriverOperation", "put_RangeCheck", {TraceArg::InBoolean("bRangeCheck", bRangeCheck)},
                            [&] {
                                state_.flags.rangeCheck = bRangeCheck != VARIANT_FALSE;
                                return S_OK;
                            });
}

HRESULT Zentrava::get_RecordCoercions(VARIANT_BOOL* pbRecordCoercions) {
    return InitializedEntry("IIviDriverOperation", "get_RecordCoercions",
                            {TraceArg::OutBoolean("pbRecordCoercions", pbRecordCoercions)}, [&] {
                                return ReturnFlag(state_.flags.recordCoercions, pbRecordCoercions,
                                                  "get_RecordCoercions", "pbRecordCoercions");
                            });
}

HRESULT Zentrava::put_RecordCoercions(VARIANT_BOOL bRecordCoercions) {
    return InitializedEntry("IIviDriverOperation", "put_RecordCoercions",
                            {TraceArg::InBoolean("bRecordCoercions", bRecordCoercions)}, [&] {
                                state_.flags.recordCoercions = bRecordCoercions != VARIANT_FALSE;
                                return S_OK;
                            });
}

HRESULT Zentrava::get_Simulate(VARIANT_BOOL* pbSimulate) {
    return InitializedEntry(
        "IIviDriverOperation", "get_Simulate", {TraceArg::OutBoolean("pbSimulate", pbSimulate)},
        [&] { return ReturnFlag(state_.flags.simulate, pbSimulate, "get_Simulate", "pbSimulate"); });
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
