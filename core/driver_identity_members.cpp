// IIviComponentIdentity and IIviDriverIdentity: the driver's fixed facts and
// what the instrument said about itself.
#include "core/driver.h"
#include "core/engine/model_tables.h"
#include "services/driver_identity.h"

namespace ztv {

HRESULT Zentrava::GetFixedText(const char* iface, const char* member, const char* parameter, std::string_view text,
                               BSTR* out) {
    return Entry(iface, member, {TraceArg::Out(parameter, out)},
                 [&] { return ReturnText(text, out, member, parameter); });
}

HRESULT Zentrava::get_Description(BSTR* pbstr) {
    return GetFixedText("IIviComponentIdentity", "get_Description", "pbstr", kDriverDescription, pbstr);
}

HRESULT Zentrava::get_Revision(BSTR* pbstr) {
    return GetFixedText("IIviComponentIdentity", "get_Revision", "pbstr", kDriverRevision, pbstr);
}

HRESULT Zentrava::get_Vendor(BSTR* pbstr) {
    return GetFixedText("IIviComponentIdentity", "get_Vendor", "pbstr", kDriverVendor, pbstr);
}

HRESULT Zentrava::get_Identifier(BSTR* pVal) {
    return GetFixedText("IIviDriverIdentity", "get_Identifier", "pVal", kDriverIdentifier, pVal);
}

HRESULT Zentrava::get_GroupCapabilities(BSTR* pbstr) {
    return GetText("IIviDriverIdentity", "get_GroupCapabilities", "pbstr", kGroupCapabilities, pbstr);
}

HRESULT Zentrava::get_SupportedInstrumentModels(BSTR* pbstr) {
    return Entry("IIviDriverIdentity", "get_SupportedInstrumentModels", {TraceArg::Out("pbstr", pbstr)}, [&] {
        std::string models;
        for (std::string_view model : engine::kModelNames) {
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
    return GetText("IIviDriverIdentity", "get_InstrumentModel", "pbstr", state_.model, pbstr);
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
