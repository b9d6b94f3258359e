// IIviDriverOperation: the inherent flags, the names in use, the coercion log
// and the (unsupported) interchange checking.
#include "core/driver.h"

namespace ztv {

HRESULT Zentrava::get_Cache(VARIANT_BOOL* pbCache) {
    return InitializedEntry([&] { return ReturnFlag(state_.flags.cache, pbCache, "get_Cache", "pbCache"); });
}

HRESULT Zentrava::put_Cache(VARIANT_BOOL bCache) {
    return InitializedEntry([&] {
        state_.flags.cache = bCache != VARIANT_FALSE;
        if (!state_.flags.cache) InvalidateCaches();
        return S_OK;
    });
}

HRESULT Zentrava::get_DriverSetup(BSTR* pVal) {
    return InitializedEntry([&] { return ReturnText(state_.driverSetup, pVal, "get_DriverSetup", "pVal"); });
}

HRESULT Zentrava::get_InterchangeCheck(VARIANT_BOOL* pbInterchangeCheck) {
    return InitializedEntry([&] { return ReturnFlag(state_.flags.interchangeCheck, pbInterchangeCheck, "get_InterchangeCheck", "pbInterchangeCheck"); });
}

HRESULT Zentrava::put_InterchangeCheck(VARIANT_BOOL bInterchangeCheck) {
    return InitializedEntry([&] {
        if (bInterchangeCheck != VARIANT_FALSE)
            return errors_.ReportError(IDS_E_IVI_VALUE_NOT_SUPPORTED, "VARIANT_TRUE", "bInterchangeCheck",
                                       "put_InterchangeCheck");
        state_.flags.interchangeCheck = false;
        return S_OK;
    });
}

HRESULT Zentrava::get_LogicalName(BSTR* pbstrName) {
    return InitializedEntry([&] { return ReturnText(state_.logicalName, pbstrName, "get_LogicalName", "pbstrName"); });
}

HRESULT Zentrava::get_IoResourceDescriptor(BSTR* pbstrName) {
    return InitializedEntry([&] { return ReturnText(state_.resourceDescriptor, pbstrName, "get_IoResourceDescriptor", "pbstrName"); });
}

HRESULT Zentrava::get_QueryInstrumentStatus(VARIANT_BOOL* pbQueryInstrStatus) {
    return InitializedEntry([&] { return ReturnFlag(state_.flags.queryInstrumentStatus, pbQueryInstrStatus, "get_QueryInstrumentStatus", "pbQueryInstrStatus"); });
}

HRESULT Zentrava::put_QueryInstrumentStatus(VARIANT_BOOL bQueryInstrStatus) {
    return InitializedEntry([&] {
        state_.flags.queryInstrumentStatus = bQueryInstrStatus != VARIANT_FALSE;
        // Start checking from a clean status, so that old errors are not blamed on the next command.
        if (state_.flags.queryInstrumentStatus && !state_.flags.simulate)
            return io_.InstrWrite("*CLS", kCurrentTimeout);
        return S_OK;
    });
}

HRESULT Zentrava::get_RangeCheck(VARIANT_BOOL* pbRangeCheck) {
    return InitializedEntry([&] { return ReturnFlag(state_.flags.rangeCheck, pbRangeCheck, "get_RangeCheck", "pbRangeCheck"); });
}

HRESULT Zentrava::put_RangeCheck(VARIANT_BOOL bRangeCheck) {
    return InitializedEntry([&] {
        state_.flags.rangeCheck = bRangeCheck != VARIANT_FALSE;
        return S_OK;
    });
}

HRESULT Zentrava::get_RecordCoercions(VARIANT_BOOL* pbRecordCoercions) {
    return InitializedEntry([&] { return ReturnFlag(state_.flags.recordCoercions, pbRecordCoercions, "get_RecordCoercions", "pbRecordCoercions"); });
}

HRESULT Zentrava::put_RecordCoercions(VARIANT_BOOL bRecordCoercions) {
    return InitializedEntry([&] {
        state_.flags.recordCoercions = bRecordCoercions != VARIANT_FALSE;
        return S_OK;
    });
}

HRESULT Zentrava::get_Simulate(VARIANT_BOOL* pbSimulate) {
    return InitializedEntry([&] { return ReturnFlag(state_.flags.simulate, pbSimulate, "get_Simulate", "pbSimulate"); });
}

HRESULT Zentrava::put_Simulate(VARIANT_BOOL bSimulate) {
    return InitializedEntry([&] {
        // A session that started simulated has no instrument to fall back to.
        if (bSimulate == VARIANT_FALSE && state_.initialFlags.simulate)
            return errors_.ReportError(IDS_E_IVI_CANNOT_CHANGE_SIMULATION_STATE);
        state_.flags.simulate = bSimulate != VARIANT_FALSE;
        return S_OK;
    });
}

HRESULT Zentrava::InvalidateAllAttributes() {
    return InitializedEntry([&] {
        InvalidateCaches();
        return S_OK;
    });
}

HRESULT Zentrava::GetNextCoercionRecord(BSTR* pbstrRecord) {
    return InitializedEntry([&] {
        if (!pbstrRecord) return NullPointer("GetNextCoercionRecord", "pbstrRecord");
        *pbstrRecord = nullptr;
        std::string record;
        if (state_.flags.recordCoercions) record = coercions_.TakeOldest().value_or("");
        *pbstrRecord = Utf8ToBstr(record);
        return *pbstrRecord ? S_OK : E_OUTOFMEMORY;
    });
}

HRESULT Zentrava::GetNextInterchangeWarning(BSTR* pbstrWarning) {
    return InitializedEntry([&] {
        if (!pbstrWarning) return NullPointer("GetNextInterchangeWarning", "pbstrWarning");
        *pbstrWarning = nullptr;
        return errors_.ReportError(IDS_E_IVI_METHOD_NOT_SUPPORTED, "GetNextInterchangeWarning");
    });
}

HRESULT Zentrava::ClearInterchangeWarnings() {
    return InitializedEntry([&] { return errors_.ReportError(IDS_E_IVI_METHOD_NOT_SUPPORTED, "ClearInterchangeWarnings"); });
}

HRESULT Zentrava::ResetInterchangeCheck() {
    return InitializedEntry([&] { return errors_.ReportError(IDS_E_IVI_METHOD_NOT_SUPPORTED, "ResetInterchangeCheck"); });
}

}  // namespace ztv
