// Splitting repeated-capability selectors into levels.
#include "ivic/selector.h"

#include <gtest/gtest.h>

namespace ztv {
namespace {

TEST(IviCSelector, SplitsAtColonsAndSkipsEmptyPieces) {
    using Levels = std::vector<std::string>;
    const std::pair<const char*, Levels> cases[] = {
        {nullptr, {}},
        {"", {}},
        {":::", {}},
        {"Measurement2", {"Measurement2"}},
        {"Measurement2:Marker3", {"Measurement2", "Marker3"}},
        {"::Measurement2::Marker3::", {"Measurement2", "Marker3"}},
        {" measurement2 : MARKER3", {" measurement2 ", " MARKER3"}},  // the collections trim and fold case
        {"a:b:c", {"a", "b", "c"}},
        {"Measurement1,Marker2", {"Measurement1,Marker2"}},
    };
    for (const auto& [selector, levels] : cases)
        EXPECT_EQ(SelectorLevels(selector), levels) << (selector ? selector : "null");
}

}  // namespace
}  // namespace ztv
