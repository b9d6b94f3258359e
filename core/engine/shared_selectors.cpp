#include "core/engine/shared_selectors.h"

#include <atomic>

namespace ztv::engine {
namespace {

std::atomic<int> loSelection{0};
std::atomic<int> biasSelection{0};

}  // namespace

void SelectShared(std::string_view name) {
    if (name == "LO1")
        loSelection.store(1);
    else if (name == "LO2")
        loSelection.store(2);
    else if (name == "Bias1")
        biasSelection.store(1);
    else if (name == "Bias2")
        biasSelection.store(2);
}

int SelectedNumber(SharedSelector selector) {
    return selector == SharedSelector::LO ? loSelection.load() : biasSelection.load();
}

void ClearSharedSelectors() {
    loSelection.store(0);
    biasSelection.store(0);
}

}  // namespace ztv::engine
