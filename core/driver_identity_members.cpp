// IIviComponentIdentity and IIviDriverIdentity: the driver's fixed facts and
// what the instrument said about itself.
#include "core/driver.h"
#include "services/driver_identity.h"

namespace ztv {

HRESULT Zentrava::get_Description(BSTR* pbstr) {
    return Entry("IIviComponentIdentity", "get_Description", {TraceArg::Out("pbstr", pbstr)},
                 [&] { return ReturnText(kDriverDescription, pbstr, "get_Description", "pbstr"); });
}

HRESULT Zentrava::get_Revision(BSTR* pbstr) {
    return Entry("IIviComponentIdentity", "get_Revision", {TraceArg::Out("pbstr", pbstr)},
                 [&] { return ReturnText(kDriverRevision, pbstr, "get_Revision", "pbstr"); });
}

HRESULT Zentrava::get_Vendor(BSTR* pbstr) {
    return Entry("IIviComponentIdentity", "get_Vendor", {TraceArg::Out("pbstr", pbstr)},
                 [&] { return ReturnText(kDriverVendor, pbstr, "get_Vendor", "pbstr"); });
}

HRESULT Zentrava::get_Identifier(BSTR* pVal) {
    return Entry("IIviDriverIdentity", "get_Identifier", {TraceArg::Out("pVal", pVal)},
                 [&] { return ReturnText(kDriverIdentifier, pVal, "get_Identifier", "pVal"); });
}

HRESULT Zentrava::get_GroupCapabilities(BSTR* pbstr) {
    return InitializedEntry("IIviDriverIdentity", "get_GroupCapabilities", {TraceArg::Out("pbstr", pbstr)},
                            [&] { return ReturnText(kGroupCapabilities, pbstr, "get_GroupCapabilities", "pbstr"); });
}

HRESULT Zentrava::get_SupportedInstrumentModels(BSTR* pbstr) {
    return Entry("IIviDriverIdentity", "get_SupportedInstrumentModels", {TraceArg::Out("pbstr", pbstr)}, [&] {
        std::string models;
        for (std::string_view model : kSupportedModels) {
            if (!models.empty()) models += ',';
            models += model;
        }
        return ReturnText(models, pbstr, "get_SupportedInstrumentModels", "pbstr");
    });
}

HRESULT Zentrava::get_InstrumentManufacturer(BSTR* pbstr) {
    return InitializedEntry("IIviDriverIdentity", "get_InstrumentManufacturer", {TraceArg::Out("pbstr", pbstr)}, [&] {
        return ReturnText(state_.flags.simulate ? kDriverVendor : std::string_view(state_.manufacturer), pbstr,
                          "get_InstrumentManufacturer", "pbstr");
    });
}

HRESULT Zentrava::get_InstrumentModel(BSTR* pbstr) {
    return InitializedEntry("IIviDriverIdentity", "get_InstrumentModel", {TraceArg::Out("pbstr", pbstr)},
                            [&] { return ReturnText(state_.model, pbstr, "get_InstrumentModel", "pbstr"); });
}

HRESULT Zentrava::get_InstrumentFirmwareRevision(BSTR* pbstr) {
    return InitializedEntry(
        "IIviDriverIdentity", "get_InstrumentFirmwareRevision", {TraceArg::Out("pbstr", pbstr)}, [&] {
            const std::string revision =
                state_.flags.simulate ? "Sim" + std::string(kDriverRevision) : state_.firmwareRevision;
            return ReturnText(revision, pbstr, "get_InstrumentFirmwareRevision", "pbstr");
        });
}

HRESULT Zentrava::get_SpecificationMajorVersion(LONG* plVer) {
    return Entry("IIviDriverIdentity", "get_SpecificationMajorVersion", {TraceArg::Out("plVer", plVer)}, [&] {
        if (!plVer) return NullPointer("get_SpecificationMajorVersion", "plVer");
        *plVer = 0;
        return S_OK;
    });
}

HRESULT Zentrava::get_SpecificationMinorVersion(LONG* plVer) {
    return Entry("IIviDriverIdentity", "get_SpecificationMinorVersion", {TraceArg::Out("plVer", plVer)}, [&] {
        if (!plVer) return NullPointer("get_SpecificationMinorVersion", "plVer");
        *plVer = 0;
        return S_OK;
    });
}

}  // namespace ztv
