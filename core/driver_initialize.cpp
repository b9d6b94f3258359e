// Starting and ending a session: Initialize and Close.
#include "core/driver.h"
#include "core/engine/model_tables.h"
#include "core/option_parsing.h"
#include "core/reply_parsing.h"
#include "platform/ivi/config_store.h"
#include "platform/text/number_codec.h"
#include "services/driver_identity.h"
#include "services/tracing/method_trace.h"

namespace ztv {

HRESULT Zentrava::InitializeSession(BSTR resourceName, bool idQuery, bool reset, BSTR optionString) {
    if (!resourceName) return errors_.ReportInvalidValueError("Initialize", "bstrResourceDescriptor", LONG{0});
    if (state_.initialized) return errors_.ReportError(IDS_E_IVI_ALREADY_INITIALIZED);

    // The six flags carry over from the previous session; everything read
    // from the configuration and the option string starts afresh.
    state_.optionString = WideToUtf8(optionString);
    state_.resourceDescriptor.clear();
    state_.logicalName.clear();
    state_.optionTable.clear();
    state_.driverSetupTable.clear();
    state_.initialSettings.clear();
    state_.virtualToPhysical.clear();
    state_.virtualToEntry.clear();
    state_.physicalToVirtual.clear();
    state_.physicalToEntry.clear();
    state_.identityRead = false;

    HRESULT hr = ConfigurationPhase(WideToUtf8(resourceName));
    if (state_.flags.simulate && state_.model.empty()) state_.model = kDefaultModel;
    state_.initialFlags = state_.flags;
    if (FAILED(hr)) {
        state_.initialized = false;
        return hr;
    }

    hr = StartTrace();
    if (SUCCEEDED(hr)) hr = OpenInstrumentIO();
    if (FAILED(hr)) {
        // A session that never opens is never closed: keep what its trace saw.
        if (tracer_.IsRecording()) tracer_.Save();
        state_.initialized = false;
        return hr;
    }
    state_.initialized = true;

    hr = InitializeRepCaps();
    if (FAILED(hr)) {
        CloseInstrumentIO();
        state_.initialized = false;
        return hr;
    }

    hr = IdentifyInstrument();
    if (SUCCEEDED(hr) && idQuery && !IsModelSupported())
        hr = errors_.ReportErrorWithDetail(IDS_E_IVI_ID_QUERY_FAILED, "Unrecognized model: " + state_.model + ".");
    if (SUCCEEDED(hr) && reset && FAILED(Reset())) hr = errors_.ReportError(IDS_E_IVI_RESET_FAILED);
    if (SUCCEEDED(hr) && state_.flags.interchangeCheck && !IsInterchangeCheckSupported())
        hr = errors_.ReportErrorWithDetail(IDS_E_IVI_BAD_OPTION_VALUE,
                                           "Interchange check is not supported by the driver.", "true");
    if (FAILED(hr)) {
        ReleaseRepCaps();
        CloseInstrumentIO();
        state_.initialized = false;
        return hr;
    }
    return S_OK;
}

// Configuration store first, then the option string, which may override it.
HRESULT Zentrava::ConfigurationPhase(const std::string& resourceName) {
    ivi::ConfigStore store;
    std::string location = ivi::ConfigStore::ProcessDefaultLocation();
    if (location.empty()) location = ivi::ConfigStore::MasterLocation();
    if (FAILED(store.Deserialize(location))) {
        state_.resourceDescriptor = resourceName;
        return ProcessOptionString(state_.optionString);
    }

    HRESULT hr;
    if (const ivi::DriverSession* session = store.GetDriverSession(resourceName)) {
        state_.logicalName = resourceName;
        hr = LoadDriverConfiguration(session);
        if (SUCCEEDED(hr)) hr = LoadConfigurableInitialSettings(session->dataComponents);
    } else {
        state_.resourceDescriptor = resourceName;
        const ivi::SoftwareModule* module = store.GetSoftwareModule(kIviCPrefix);
        hr = module ? LoadConfigurableInitialSettings(module->dataComponents)
                    : errors_.ReportErrorWithDetail(IDS_E_IVI_CANNOT_RECOVER,
                                                    "Software module could not be loaded from the IVI "
                                                    "Configuration Store.");
    }
    if (FAILED(hr)) return hr;
    return ProcessOptionString(state_.optionString);
}

HRESULT Zentrava::LoadDriverConfiguration(const ivi::DriverSession* session) {
    if (!session) return errors_.ReportInvalidValueError("LoadDriverConfiguration", "pDriverSession", LONG{0});
    LoadVirtualNames(*session);
    state_.resourceDescriptor.clear();
    if (session->hardwareAsset) state_.resourceDescriptor = session->hardwareAsset->ioResourceDescriptor;
    state_.flags.cache = session->cache;
    state_.flags.interchangeCheck = session->interchangeCheck;
    state_.flags.queryInstrumentStatus = session->queryInstrStatus;
    state_.flags.rangeCheck = session->rangeCheck;
    state_.flags.recordCoercions = session->recordCoercions;
    state_.flags.simulate = session->simulate;
    return ProcessDriverSetup(session->driverSetup);
}

void Zentrava::LoadVirtualNames(const ivi::DriverSession& session) {
    auto enter = [this](const std::string& virtualName, const std::string& physicalName,
                        const ivi::VirtualName& entry) {
        const std::string v = ToLower(virtualName), p = ToLower(physicalName);
        state_.virtualToPhysical[v] = p;
        state_.virtualToEntry[v] = ToLower(entry.name);
        state_.physicalToVirtual[p] = v;
        state_.physicalToEntry[p] = ToLower(entry.mapTo);
    };
    for (const ivi::VirtualName& name : session.virtualNames) {
        if (name.ranges.empty()) {
            enter(name.name, name.mapTo, name);
            continue;
        }
        for (const ivi::VirtualRange& range : name.ranges)
            for (long i = range.min; i <= range.max; ++i)
                enter(name.name + std::to_string(i),
                      name.mapTo + std::to_string(i - range.min + range.startingPhysicalIndex), name);
    }
}

HRESULT Zentrava::LoadConfigurableInitialSettings(const std::vector<ivi::DataComponent>& owner) {
    const ivi::DataComponent* settings = ivi::FindDataComponent(owner, "Configurable Initial Settings");
    if (!settings) return S_OK;
    for (const ivi::DataComponent& component : settings->children) {
        const std::string key = ToLower(codec::TrimBlanks(component.name));
        if (component.type == "String")
            state_.initialSettings[key] = component.text;
        else if (component.type == "Integer")
            state_.initialSettings[key] = LONG{component.integer};
        else if (component.type == "Real")
            state_.initialSettings[key] = component.real;
        else if (component.type == "Boolean")
            state_.initialSettings[key] = component.boolean ? VARIANT_TRUE : VARIANT_FALSE;
    }
    auto model = state_.initialSettings.find("model");
    if (model != state_.initialSettings.end())
        if (const auto* text = std::get_if<std::string>(&model->second)) state_.model = *text;
    return S_OK;
}

HRESULT Zentrava::StartTrace() {
    tracer_.Configure(state_.trace);
    // A session initialized again while its trace still records keeps
    // recording into the same file.
    if (!tracer_.GetEnabled() || tracer_.IsRecording()) return S_OK;
    return tracer_.StartTrace(kDriverIdentifier);
}

HRESULT Zentrava::OpenInstrumentIO() {
    if (state_.flags.simulate) return S_OK;
    CDriverIOProvider::Links links;
    links.queryInstrumentStatus = [this] { return state_.flags.queryInstrumentStatus; };
    links.errors = &errors_;
    links.openOptions = state_.driverSetup;
    // Opening the connection is an I/O operation of its own in the trace,
    // with the text that says why it failed.
    std::string failure;
    CMethodTrace trace;
    trace.Begin(&tracer_, "CDriverIOManager", "Open",
                {TraceArg::In("strResource", state_.resourceDescriptor), TraceArg::Out("strError", &failure)});
    const HRESULT hr = provider_.Open(links, state_.resourceDescriptor);
    if (hr != E_IVI_RESOURCE_UNKNOWN) return hr;
    return errors_.ReportErrorWithReason(IDS_E_IVI_RESOURCE_UNKNOWN, TakeThreadErrorDescription(), &failure);
}

HRESULT Zentrava::CloseInstrumentIO() { return provider_.Close(); }

// One measurement per single-trace application, four for frequency-power and
// transient, eight for User, ten markers under each; they live until Close.
HRESULT Zentrava::InitializeRepCaps() { return BuildCollections(*this); }

HRESULT Zentrava::ReleaseRepCaps() {
    ReleaseCollections();
    return S_OK;
}

bool Zentrava::IsModelSupported() const {
    if (!state_.initialized) return false;
    for (std::string_view model : engine::kModelNames)
        if (model == state_.model) return true;
    return false;
}

HRESULT Zentrava::IdentifyInstrument() {
    if (state_.flags.simulate || state_.identityRead) return S_OK;
    std::string reply;
    const HRESULT hr = io_.InstrQuery("*IDN?", &reply, 1024, kCurrentTimeout);
    if (FAILED(hr)) return hr;
    IdentityFields fields = SplitIdentification(reply);
    state_.identificationReply = std::move(reply);
    state_.manufacturer = std::move(fields.manufacturer);
    state_.model = std::move(fields.model);
    state_.serialNumber = std::move(fields.serialNumber);
    state_.firmwareRevision = std::move(fields.firmwareRevision);
    state_.identityRead = true;
    return hr;
}

HRESULT Zentrava::Close() {
    return Locked([&] {
        if (!state_.initialized) return errors_.ReportError(IDS_E_IVI_NOT_INITIALIZED);
        if (tracer_.GetEnabled()) tracer_.Save();
        CloseInstrumentIO();
        InvalidateCaches();
        state_.initialized = false;
        return ReleaseRepCaps();
    });
}

}  // namespace ztv
