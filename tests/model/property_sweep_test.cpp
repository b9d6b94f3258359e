// Every generic property on every object that carries it, while simulating:
// unwritten reads give the simulated value, writes read back on their own
// object only, and invalidation empties the whole tree.
#include "tests/model/property_sweep.h"

#include <gtest/gtest.h>

#include "core/driver.h"
#include "tests/model/model_session.h"

namespace ztv::test {
namespace {

// Every object of a class: the driver object, or the measurements or markers
// of that class in collection order.
std::vector<IUnknown*> ObjectsOf(Zentrava& root, std::string_view className) {
    if (className == "Zentrava") return {root.Identity()};
    std::vector<IUnknown*> objects;
    auto add = [&](const engine::CObjectNode::Collection* collection) {
        if (!collection) return;
        for (const auto& child : collection->instances) objects.push_back(child->Identity());
    };
    add(root.FindCollection(className));
    for (std::size_t c = 0; c < root.Class().collectionCount; ++c) {
        const auto* measurements = root.FindCollection(root.Class().collections[c].instanceClass->className);
        for (const auto& measurement : measurements->instances) add(measurement->FindCollection(className));
    }
    return objects;
}

TEST(PropertySweep, EveryGenericPropertyOfEveryObject) {
    ModelSession session;
    ASSERT_EQ(session.OpenSimulated(), S_OK);
    auto& root = *static_cast<Zentrava*>(session.driver());
    ASSERT_GT(kSweepEntries.size(), 500u);
    for (int pass = 0; pass < 2; ++pass) {
        std::size_t checked = 0;
        for (const SweepEntry& entry : kSweepEntries) {
            const std::vector<IUnknown*> objects = ObjectsOf(root, entry.className);
            EXPECT_FALSE(objects.empty()) << entry.key;
            for (std::size_t i = 0; i < objects.size(); ++i, ++checked)
                EXPECT_EQ(entry.check(objects[i]), S_OK)
                    << entry.key << " on " << entry.className << " #" << i + 1 << ": " << ThreadErrorText();
        }
        EXPECT_GT(checked, 2000u);
        // The second pass finds every value unwritten again.
        ASSERT_EQ(As<IIviDriverOperation>(session.driver(), IID_IIviDriverOperation)->InvalidateAllAttributes(), S_OK);
    }
}

}  // namespace
}  // namespace ztv::test
