#include "ivic/selector.h"

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

ViStatus ReportBadlyFormedSelector(ViSession vi) {
    const ViStatus recorded =
        IviSession_SetError(vi, kBadlyFormedSelector, "The repeated capability selector is badly-formed.");
    return recorded != 0 ? recorded : kBadlyFormedSelector;
}

}  // namespace ztv
