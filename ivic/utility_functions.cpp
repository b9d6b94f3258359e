// IVI-C wrappers of the inherent utility, identity and operation members.
#include "ivic/call_frame.h"
#include "zentrava/Zentrava.h"
#include "zentrava/ivi.h"
#include "zentrava/raii.h"

using namespace ztv;

namespace {

template <class I, class Member>
ViStatus CallNoArgs(ViSession vi, const IID& iid, Member member) {
    return CallFrame<I>(vi, iid, [&](I* itf) { return TranslateStatus(vi, (itf->*member)()); });
}

// ErrorQuery and SelfTest share one shape: an in-out number and a message.
template <class Number, class Member>
ViStatus NumberAndMessage(ViSession vi, Number* number, ViChar* message, Member member) {
    return CallFrame<IIviDriverUtility>(vi, IID_IIviDriverUtility, [&](IIviDriverUtility* utility) {
        LONG value = number ? static_cast<LONG>(*number) : 0;
        com::Bstr text;
        ViStatus status = TranslateStatus(vi, (utility->*member)(&value, text.Receive()));
        if (status < 0) return status;
        if (number) *number = static_cast<Number>(value);
        if (status == 0 && !number) status = kIviCGenericFailure;
        const ViStatus stored = StoreText(text.get(), 256, message);
        return status != 0 ? status : stored;
    });
}

template <class Member>
ViStatus TextResult(ViSession vi, ViInt32 size, ViChar* buffer, Member member) {
    return CallFrame<IIviDriverOperation>(vi, IID_IIviDriverOperation, [&](IIviDriverOperation* operation) {
        com::Bstr text;
        const ViStatus status = TranslateStatus(vi, (operation->*member)(text.Receive()));
        if (status < 0) return status;
        return CallOrStore(status, StoreText(text.get(), size, buffer));
    });
}

}  // namespace

extern "C" {

ViStatus Ztv_error_query(ViSession Vi, ViInt32* ErrorCode, ViChar ErrorMessage[256]) {
    return NumberAndMessage(Vi, ErrorCode, ErrorMessage, &IIviDriverUtility::ErrorQuery);
}

ViStatus Ztv_self_test(ViSession Vi, ViInt16* TestResult, ViChar TestMessage[256]) {
    return NumberAndMessage(Vi, TestResult, TestMessage, &IIviDriverUtility::SelfTest);
}

ViStatus Ztv_revision_query(ViSession Vi, ViChar DriverRev[256], ViChar InstrRev[256]) {
    return CallFrame<IIviDriverIdentity>(Vi, IID_IIviDriverIdentity, [&](IIviDriverIdentity* identity) {
        com::Bstr driver;
        ViStatus status = TranslateStatus(Vi, identity->get_Revision(driver.Receive()));
        if (status < 0) return status;
        StoreText(driver.get(), 256, DriverRev);
        com::Bstr instrument;
        status = TranslateStatus(Vi, identity->get_InstrumentFirmwareRevision(instrument.Receive()));
        if (status < 0) return status;
        return StoreText(instrument.get(), 256, InstrRev);
    });
}

ViStatus Ztv_reset(ViSession Vi) {
    return CallNoArgs<IIviDriverUtility>(Vi, IID_IIviDriverUtility, &IIviDriverUtility::Reset);
}

ViStatus Ztv_ResetWithDefaults(ViSession Vi) {
    return CallNoArgs<IIviDriverUtility>(Vi, IID_IIviDriverUtility, &IIviDriverUtility::ResetWithDefaults);
}

ViStatus Ztv_Disable(ViSession Vi) {
    return CallNoArgs<IIviDriverUtility>(Vi, IID_IIviDriverUtility, &IIviDriverUtility::Disable);
}

ViStatus Ztv_InvalidateAllAttributes(ViSession Vi) {
    return CallNoArgs<IIviDriverOperation>(Vi, IID_IIviDriverOperation, &IIviDriverOperation::InvalidateAllAttributes);
}

ViStatus Ztv_ResetInterchangeCheck(ViSession Vi) {
    return CallNoArgs<IIviDriverOperation>(Vi, IID_IIviDriverOperation, &IIviDriverOperation::ResetInterchangeCheck);
}

ViStatus Ztv_ClearInterchangeWarnings(ViSession Vi) {
    return CallNoArgs<IIviDriverOperation>(Vi, IID_IIviDriverOperation, &IIviDriverOperation::ClearInterchangeWarnings);
}

ViStatus Ztv_GetNextCoercionRecord(ViSession Vi, ViInt32 BufferSize, ViChar Record[]) {
    return TextResult(Vi, BufferSize, Record, &IIviDriverOperation::GetNextCoercionRecord);
}

ViStatus Ztv_GetNextInterchangeWarning(ViSession Vi, ViInt32 BufferSize, ViChar Warning[]) {
    return TextResult(Vi, BufferSize, Warning, &IIviDriverOperation::GetNextInterchangeWarning);
}

}  // extern "C"
