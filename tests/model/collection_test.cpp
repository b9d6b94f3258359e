// The measurement and marker collections: counts, names, lookup by name, the
// identity of instances and their life from Initialize to Close.
#include <gtest/gtest.h>

#include <functional>

#include "tests/model/model_session.h"

namespace ztv::test {
namespace {

class Collections : public ::testing::Test {
protected:
    ModelSession session;
    void SetUp() override { ASSERT_EQ(session.OpenSimulated(), S_OK) << ThreadErrorText(); }

    Ref<IZentravaFPMeasurement> Fp(std::string_view name, HRESULT expected = S_OK) {
        Ref<IZentravaFPMeasurement> item;
        Bstr text(name);
        EXPECT_EQ(session.Root<IZentravaFPMeasurements>(IID_IZentravaFPMeasurements)->get_Item(text.get(), item.out()),
                  expected);
        return item;
    }
    static Ref<IUnknown> Identity(IUnknown* object) { return Query<IUnknown>(object, IID_IUnknown); }

    // A call that reads the count of a collection on the root.
    template <class Collection>
    std::function<HRESULT(LONG*)> CountOf(const IID& iid) {
        return [this, &iid](LONG* n) { return session.Root<Collection>(iid)->get_Count(n); };
    }
};

TEST_F(Collections, CountsFollowTheApplications) {
    struct Case {
        const char* name;
        std::function<HRESULT(LONG*)> count;
        LONG expected;
    } cases[] = {
        {"PN", CountOf<IZentravaPNMeasurements>(IID_IZentravaPNMeasurements), 1},
        {"AM", CountOf<IZentravaAMMeasurements>(IID_IZentravaAMMeasurements), 1},
        {"BB", CountOf<IZentravaBBMeasurements>(IID_IZentravaBBMeasurements), 1},
        {"SP", CountOf<IZentravaSPMeasurements>(IID_IZentravaSPMeasurements), 1},
        {"FP", CountOf<IZentravaFPMeasurements>(IID_IZentravaFPMeasurements), 4},
        {"TR", CountOf<IZentravaTRMeasurements>(IID_IZentravaTRMeasurements), 4},
        {"User", CountOf<IZentravaUserMeasurements>(IID_IZentravaUserMeasurements), 8},
        {"FP markers",
         [&](LONG* n) {
             return As<IZentravaFPMarkers>(Fp("Measurement4").get(), IID_IZentravaFPMarkers)->get_Count(n);
         },
         10},
    };
    for (const Case& c : cases) {
        LONG n = -1;
        EXPECT_EQ(c.count(&n), S_OK) << c.name;
        EXPECT_EQ(n, c.expected) << c.name;
    }
    EXPECT_EQ(session.Root<IZentravaUserMeasurements>(IID_IZentravaUserMeasurements)->get_Count(nullptr), E_POINTER);
}

TEST_F(Collections, ItemMatchesTrimmedNamesInAnyCase) {
    auto second = Identity(Fp("Measurement2").get());
    EXPECT_EQ(Identity(Fp("measurement2").get()).get(), second.get());
    EXPECT_EQ(Identity(Fp("  MEASUREMENT2\t").get()).get(), second.get());
    EXPECT_NE(Identity(Fp("Measurement1").get()).get(), second.get());

    for (const char* bad : {"Measurement5", "Measurement0", "", "Measurement 2", "Marker1"}) {
        SCOPED_TRACE(bad);
        EXPECT_EQ(Fp(bad, E_IVI_UNKNOWN_PHYSICAL_IDENTIFIER).get(), nullptr);
        EXPECT_EQ(ThreadErrorText(), "Zentrava: Unknown physical repeated capability selector.");
    }
    Bstr name("Measurement1");
    EXPECT_EQ(session.Root<IZentravaFPMeasurements>(IID_IZentravaFPMeasurements)->get_Item(name.get(), nullptr),
              E_POINTER);
}

TEST_F(Collections, AnEmptyNameSelectsTheOnlyInstance) {
    auto only = session.Item<IZentravaPNMeasurements, IZentravaPNMeasurement>(IID_IZentravaPNMeasurements, "");
    ASSERT_NE(only.get(), nullptr);
    auto named =
        session.Item<IZentravaPNMeasurements, IZentravaPNMeasurement>(IID_IZentravaPNMeasurements, "Measurement1");
    EXPECT_EQ(Identity(only.get()).get(), Identity(named.get()).get());

    Ref<IZentravaPNMarker> marker;
    Bstr empty("");
    EXPECT_EQ(As<IZentravaPNMarkers>(only.get(), IID_IZentravaPNMarkers)->get_Item(empty.get(), marker.out()),
              E_IVI_UNKNOWN_PHYSICAL_IDENTIFIER);
}

TEST_F(Collections, NamesAreOneBased) {
    auto markers = As<IZentravaFPMarkers>(Fp("Measurement1").get(), IID_IZentravaFPMarkers);
    struct Case {
        LONG index;
        HRESULT result;
        const char* text;
    } cases[] = {
        {1, S_OK, "Marker1"},
        {10, S_OK, "Marker10"},
        {0, E_IVI_INVALID_VALUE, "Zentrava: Invalid value (0) for method get_Name, parameter Index."},
        {11, E_IVI_INVALID_VALUE, "Zentrava: Invalid value (11) for method get_Name, parameter Index."},
    };
    for (const Case& c : cases) {
        Bstr name;
        EXPECT_EQ(markers->get_Name(c.index, name.out()), c.result) << c.index;
        EXPECT_EQ(SUCCEEDED(c.result) ? name.str() : ThreadErrorText(), c.text);
    }
    Bstr measurement;
    EXPECT_EQ(session.Root<IZentravaTRMeasurements>(IID_IZentravaTRMeasurements)->get_Name(4, measurement.out()), S_OK);
    EXPECT_EQ(measurement.str(), "Measurement4");
}

TEST_F(Collections, AnInstanceAnswersForAllOfItsInterfacesOnly) {
    auto measurement = Fp("Measurement3");
    auto limit = As<IZentravaFPMeasurementLimit>(measurement.get(), IID_IZentravaFPMeasurementLimit);
    ASSERT_NE(limit.get(), nullptr);
    EXPECT_EQ(Identity(limit.get()).get(), Identity(measurement.get()).get());
    auto back = As<IZentravaFPMeasurement>(limit.get(), IID_IZentravaFPMeasurement);
    EXPECT_EQ(back.get(), measurement.get());
    void* none = nullptr;
    EXPECT_EQ(measurement->QueryInterface(IID_IZentravaPNMeasurementLimit, &none), E_NOINTERFACE);
    EXPECT_EQ(measurement->QueryInterface(IID_IZentrava, &none), E_NOINTERFACE);
    auto support = As<ISupportErrorInfo>(measurement.get(), IID_ISupportErrorInfo);
    EXPECT_EQ(support->InterfaceSupportsErrorInfo(IID_IZentravaFPMeasurementLimit), S_OK);
    EXPECT_EQ(support->InterfaceSupportsErrorInfo(IID_IZentravaFPMarker), S_FALSE);
}

TEST_F(Collections, InstancesOutliveCloseButNoLongerWork) {
    auto measurement = Fp("Measurement2");
    auto limit = As<IZentravaFPMeasurementLimit>(measurement.get(), IID_IZentravaFPMeasurementLimit);
    ASSERT_EQ(session.driver()->Close(), S_OK);
    VARIANT_BOOL enabled;
    EXPECT_EQ(limit->get_Enabled(&enabled), E_IVI_NOT_INITIALIZED);
    LONG count = 0;
    EXPECT_EQ(session.Root<IZentravaFPMeasurements>(IID_IZentravaFPMeasurements)->get_Count(&count),
              E_IVI_NOT_INITIALIZED);

    ASSERT_EQ(session.OpenSimulated(), S_OK);
    auto fresh = Fp("Measurement2");
    EXPECT_NE(Identity(fresh.get()).get(), Identity(measurement.get()).get()) << "a new session builds new instances";
    EXPECT_EQ(limit->get_Enabled(&enabled), E_IVI_NOT_INITIALIZED);
}

}  // namespace
}  // namespace ztv::test
