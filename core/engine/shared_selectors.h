// The two selectors that every driver object of the process shares: which
// down-converter LO and which external-mixer bias the shared LO and bias
// interfaces address. A child getter selects; the members read the selection
// when they run.
#pragma once

#include <string_view>

namespace ztv::engine {

enum class SharedSelector { LO, Bias };

// Selects by the child's name: "LO1", "LO2", "Bias1" or "Bias2".
void SelectShared(std::string_view name);
// 1 or 2 for the selected LO or bias, 0 before any selection.
int SelectedNumber(SharedSelector selector);
// Back to nothing selected (used by tests).
void ClearSharedSelectors();

}  // namespace ztv::engine
