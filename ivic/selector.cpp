#include "ivic/selector.h"

#include <string>
#include <string_view>

#include "platform/ivi/iviss.h"

namespace ztv {

std::vector<std::string> SelectorLevels(ViConstString selector) {
    std::vector<std::string> levels;
    std::string_view rest = selector ? selector : "";
    while (!rest.empty()) {
        const std::size_t colon = rest.find(':');
        const std::string_view piece = rest.substr(0, colon);
        if (!piece.empty()) levels.emplace_back(piece);
        if (colon == std::string_view::npos) break;
        rest.remove_prefix(colon + 1);
    }
    return levels;
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

}  // namespace ztv
