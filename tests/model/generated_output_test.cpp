// What the generator emitted agrees with the model data: the sizes that
// tools/modelgen/count.py prints, the interface identifiers and the tables.
#include <gtest/gtest.h>

#include "core/engine/member_call.h"
#include "core/engine/model_tables.h"
#include "tests/model/model_session.h"

namespace ztv::test {
namespace {

TEST(GeneratedOutput, SizesMatchTheCountScript) {
    const auto sizes = ModelCounts();
    ASSERT_FALSE(sizes.empty());
    EXPECT_EQ(sizes.at("interfaces"), static_cast<long>(engine::kModelSize.interfaces));
    EXPECT_EQ(sizes.at("properties"), static_cast<long>(engine::kModelSize.properties));
    EXPECT_EQ(sizes.at("methods"), static_cast<long>(engine::kModelSize.methods));
    EXPECT_EQ(sizes.at("enums"), static_cast<long>(engine::kEnumTypeCount));
}

TEST(GeneratedOutput, InterfaceIdsAreNameBased) {
    EXPECT_EQ(IID_IZentrava, NameBasedGuid("IZentrava"));
    EXPECT_EQ(IID_IZentravaTriggerOutput, NameBasedGuid("IZentravaTriggerOutput"));
    EXPECT_EQ(IID_IZentravaUserMarker, NameBasedGuid("IZentravaUserMarker"));
}

TEST(GeneratedOutput, EveryRootInterfaceIsCarriedByTheDriverObject) {
    const engine::NodeClassDesc& root = engine::kRootNodeClass;
    ASSERT_GT(root.facetCount, 0u);
    EXPECT_EQ(*root.facets[0].iid, IID_IZentrava) << "the default interface comes first";
    IsolatedEnvironment env;
    auto driver = NewDriver();
    for (std::size_t i = 0; i < root.facetCount; ++i) {
        void* itf = nullptr;
        EXPECT_EQ(driver->QueryInterface(*root.facets[i].iid, &itf), S_OK) << i;
        if (itf) static_cast<IUnknown*>(itf)->Release();
    }
    ASSERT_EQ(root.collectionCount, 7u);
    LONG measurements = 0;
    for (std::size_t i = 0; i < root.collectionCount; ++i) measurements += root.collections[i].count;
    EXPECT_EQ(measurements, 20);
}

TEST(GeneratedOutput, EnumerationTablesCarryTokensAndRestrictions) {
    int restricted = 0;
    for (std::size_t i = 0; i < engine::kEnumTypeCount; ++i) {
        const engine::EnumDesc& type = *engine::kEnumTypes[i];
        for (std::uint16_t v = 0; v < type.count; ++v) restricted += type.values[v].models.bits != 0 ? 1 : 0;
        if (std::string(type.name) == "ZentravaMeasFormatUnitEnum") {
            EXPECT_STREQ(engine::TokenOf(type, 4), "DBMH");
            EXPECT_EQ(engine::ValueOfToken(type, "DBVH")->number, 5);
            EXPECT_EQ(engine::ValueOfToken(type, "dbvh"), nullptr);
        }
    }
    EXPECT_EQ(restricted, 3);
}

}  // namespace
}  // namespace ztv::test
