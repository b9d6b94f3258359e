// The IVI inherent interfaces every IVI-COM driver offers.
#pragma once

#include "zentrava/com.h"

struct IIviDriverOperation;
struct IIviDriverIdentity;
struct IIviDriverUtility;

struct IIviComponentIdentity : IUnknown {
    virtual HRESULT get_Description(BSTR* pbstr) = 0;
    virtual HRESULT get_Revision(BSTR* pbstr) = 0;
    virtual HRESULT get_Vendor(BSTR* pbstr) = 0;

protected:
    ~IIviComponentIdentity() = default;
};

struct IIviDriverIdentity : IIviComponentIdentity {
    virtual HRESULT get_Identifier(BSTR* pVal) = 0;
    virtual HRESULT get_GroupCapabilities(BSTR* pbstr) = 0;
    virtual HRESULT get_SupportedInstrumentModels(BSTR* pbstr) = 0;
    virtual HRESULT get_InstrumentManufacturer(BSTR* pbstr) = 0;
    virtual HRESULT get_InstrumentModel(BSTR* pbstr) = 0;
    virtual HRESULT get_InstrumentFirmwareRevision(BSTR* pbstr) = 0;
    virtual HRESULT get_SpecificationMajorVersion(LONG* plVer) = 0;
    virtual HRESULT get_SpecificationMinorVersion(LONG* plVer) = 0;

protected:
    ~IIviDriverIdentity() = default;
};

struct IIviDriverOperation : IUnknown {
    virtual HRESULT get_Cache(VARIANT_BOOL* pbCache) = 0;
    virtual HRESULT put_Cache(VARIANT_BOOL bCache) = 0;
    virtual HRESULT get_DriverSetup(BSTR* pVal) = 0;
    virtual HRESULT ClearInterchangeWarnings() = 0;
    virtual HRESULT GetNextCoercionRecord(BSTR* pbstrRecord) = 0;
    virtual HRESULT GetNextInterchangeWarning(BSTR* pbstrWarning) = 0;
    virtual HRESULT get_InterchangeCheck(VARIANT_BOOL* pbInterchangeCheck) = 0;
    virtual HRESULT put_InterchangeCheck(VARIANT_BOOL bInterchangeCheck) = 0;
    virtual HRESULT get_LogicalName(BSTR* pbstrName) = 0;
    virtual HRESULT get_QueryInstrumentStatus(VARIANT_BOOL* pbQueryInstrStatus) = 0;
    virtual HRESULT put_QueryInstrumentStatus(VARIANT_BOOL bQueryInstrStatus) = 0;
    virtual HRESULT get_RangeCheck(VARIANT_BOOL* pbRangeCheck) = 0;
    virtual HRESULT put_RangeCheck(VARIANT_BOOL bRangeCheck) = 0;
    virtual HRESULT get_RecordCoercions(VARIANT_BOOL* pbRecordCoercions) = 0;
    virtual HRESULT put_RecordCoercions(VARIANT_BOOL bRecordCoercions) = 0;
    virtual HRESULT ResetInterchangeCheck() = 0;
    virtual HRESULT get_IoResourceDescriptor(BSTR* pbstrName) = 0;
    virtual HRESULT get_Simulate(VARIANT_BOOL* pbSimulate) = 0;
    virtual HRESULT put_Simulate(VARIANT_BOOL bSimulate) = 0;
    virtual HRESULT InvalidateAllAttributes() = 0;

protected:
    ~IIviDriverOperation() = default;
};

struct IIviDriverUtility : IUnknown {
    virtual HRESULT Disable() = 0;
    virtual HRESULT ErrorQuery(LONG* pCode, BSTR* pMessage) = 0;
    virtual HRESULT LockObject() = 0;
    virtual HRESULT Reset() = 0;
    virtual HRESULT ResetWithDefaults() = 0;
    virtual HRESULT SelfTest(LONG* pResult, BSTR* pMessage) = 0;
    virtual HRESULT UnlockObject() = 0;

protected:
    ~IIviDriverUtility() = default;
};

struct IIviDriver : IUnknown {
    virtual HRESULT get_DriverOperation(IIviDriverOperation** pVal) = 0;
    virtual HRESULT get_Identity(IIviDriverIdentity** pVal) = 0;
    virtual HRESULT get_Utility(IIviDriverUtility** pVal) = 0;
    virtual HRESULT Initialize(BSTR ResourceName, VARIANT_BOOL IdQuery, VARIANT_BOOL Reset, BSTR OptionString) = 0;
    virtual HRESULT Close() = 0;
    virtual HRESULT get_Initialized(VARIANT_BOOL* pVal) = 0;

protected:
    ~IIviDriver() = default;
};

struct IIviClassWrapper : IUnknown {
    virtual HRESULT AttachToExistingCSession(LONG Vi) = 0;
    virtual HRESULT get_NativeCHandle(LONG* pVal) = 0;

protected:
    ~IIviClassWrapper() = default;
};

extern const IID IID_IIviComponentIdentity;
extern const IID IID_IIviDriverIdentity;
extern const IID IID_IIviDriverOperation;
extern const IID IID_IIviDriverUtility;
extern const IID IID_IIviDriver;
extern const IID IID_IIviClassWrapper;
