#include "ivic/selector.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <string_view>

#include "platform/ivi/iviss.h"
#include "platform/text/split.h"

namespace ztv {

std::vector<std::string> SelectorLevels(ViConstString selector) {
    const std::vector<std::string_view> levels = codec::SplitNonEmpty(selector ? selector : "", ':');
    return {levels.begin(), levels.end()};
}

ViStatus ReportBadlyFormedSelector(ViSession vi, ViConstString selector, int depth) {
    // The IVI text first, then the form this call expects.
    const std::string text =
        std::string("The repeated capability selector is badly-formed.") + " Expected " +
        (depth == 2 ? "a measurement and a marker name joined by \":\", as \"Measurement1:Marker1\""
                    : "a measurement name, as \"Measurement1\"") +
        "; given \"" + (selector ? selector : "") + "\".";
    const ViStatus recorded = IviSession_SetError(vi, kBadlyFormedSelector, text.c_str());
    return recorded != 0 ? recorded : kBadlyFormedSelector;
}

ViStatus ReportUnknownSelectorName(ViSession vi, ViStatus status, std::string_view given, std::string_view names) {
    // Keeps the recorded text as it stands and adds what to write instead.
    std::string text(static_cast<std::size_t>(std::max<ViInt32>(IviSession_GetError(vi, 0, nullptr, nullptr), 1)),
                     '\0');
    ViStatus code = status;
    IviSession_GetError(vi, static_cast<ViInt32>(text.size()), &code, text.data());
    text.resize(std::strlen(text.c_str()));
    text += std::string(" \"") + std::string(given) + "\" is not one of: " + std::string(names) + ".";
    const ViStatus recorded = IviSession_SetError(vi, code, text.c_str());
    return recorded != 0 ? recorded : status;
}

}  // namespace ztv
