// Applying the option string and DriverSetup texts to the session.
#include "core/driver.h"
#include "core/option_parsing.h"
#include "platform/text/number_codec.h"

namespace ztv {

HRESULT Zentrava::ProcessOptionString(std::string_view optionString) {
    state_.optionTable.clear();
    if (optionString.empty()) return S_OK;

    // "DriverSetup=" takes everything after it, commas included.
    std::string_view options = optionString;
    const std::size_t at = ToUpper(optionString).find("DRIVERSETUP=");
    if (at != std::string::npos) {
        const HRESULT hr = ProcessDriverSetup(optionString.substr(at + 12));
        if (FAILED(hr)) return hr;
        options = optionString.substr(0, at);
    }
    for (auto& [name, value] : ParseOptionPairs(options)) {
        const HRESULT hr = ProcessInitOption(std::move(name), std::move(value));
        if (FAILED(hr)) return hr;
    }
    return S_OK;
}

HRESULT Zentrava::ProcessInitOption(std::string name, std::string value) {
    if (name.empty()) return errors_.ReportInvalidValueError("ProcessInitOption", "strNameIn", LONG{0});
    if (value.empty()) return errors_.ReportInvalidValueError("ProcessInitOption", "strValueIn", LONG{0});
    const std::string key = ToLower(codec::TrimBlanks(name));
    const std::string text(codec::TrimBlanks(value));

    static constexpr std::pair<std::string_view, bool SessionFlags::*> kFlags[] = {
        {"cache", &SessionFlags::cache},
        {"interchangecheck", &SessionFlags::interchangeCheck},
        {"queryinstrstatus", &SessionFlags::queryInstrumentStatus},
        {"rangecheck", &SessionFlags::rangeCheck},
        {"recordcoercions", &SessionFlags::recordCoercions},
        {"simulate", &SessionFlags::simulate},
    };
    for (const auto& [optionName, flag] : kFlags) {
        if (key != optionName) continue;
        const std::optional<bool> on = ParseOptionBoolean(text);
        if (!on) return errors_.ReportError(IDS_E_IVI_BAD_OPTION_VALUE, text);
        state_.flags.*flag = *on;
        break;
    }
    state_.optionTable[key] = text;
    return S_OK;
}

HRESULT Zentrava::ProcessDriverSetup(std::string_view text) {
    state_.driverSetupTable.clear();
    state_.driverSetup = std::string(text);
    for (auto& [name, value] : ParseOptionPairs(text)) {
        const HRESULT hr = ProcessDriverSetupOption(std::move(name), std::move(value));
        if (FAILED(hr)) return hr;
    }
    return S_OK;
}

HRESULT Zentrava::ProcessDriverSetupOption(std::string name, std::string value) {
    const std::string key = ToLower(codec::TrimBlanks(name));
    TraceSettings& trace = state_.trace;
    HRESULT hr = S_OK;
    auto setBoolean = [&](bool& target) {
        if (const std::optional<bool> on = ParseOptionBoolean(value))
            target = *on;
        else
            hr = errors_.ReportError(IDS_E_IVI_BAD_OPTION_VALUE, value);
    };
    if (key == "model")
        state_.model = value;
    else if (key == "trace") {
        setBoolean(trace.enabled);
        if (SUCCEEDED(hr)) hr = tracer_.SetEnabled(trace.enabled);
    } else if (key == "tracename")
        trace.name = value;
    else if (key == "tracesizemax")
        trace.sizeMax = ParseDecimalInteger(value);
    else if (key == "tracearray")
        setBoolean(trace.arrays);
    else if (key == "tracearraysizemax")
        trace.arraySizeMax = ParseDecimalInteger(value);
    else if (key == "tracesaveinterval")
        trace.saveInterval = ParseDecimalInteger(value);
    else if (key == "tracetransform")
        trace.transform = value;
    state_.driverSetupTable[key] = value;
    return hr;
}

}  // namespace ztv
