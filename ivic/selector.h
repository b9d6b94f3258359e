// Repeated-capability selectors of the IVI-C face: "Measurement2:Marker3"
// names a measurement (level 0) and one of its markers (level 1).
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "zentrava/visatype.h"

namespace ztv {

inline constexpr ViStatus kBadlyFormedSelector = static_cast<ViStatus>(0xBFFA0066u);

// The levels of a selector, left to right. Empty pieces add no level, so
// "::Measurement2::Marker3::" has the same two levels as
// "Measurement2:Marker3"; a null selector has none. Names are passed on
// unchanged: the collections trim them and ignore letter case.
std::vector<std::string> SelectorLevels(ViConstString selector);

// Records the badly-formed-selector error against the session, saying which
// form a selector of `depth` levels takes and what was given.
ViStatus ReportBadlyFormedSelector(ViSession vi, ViConstString selector, int depth);

// Adds to the recorded unknown-name error the name given and the names that
// exist at that level, so a caller sees at once what to write instead.
ViStatus ReportUnknownSelectorName(ViSession vi, ViStatus status, std::string_view given, std::string_view names);

}  // namespace ztv
