// The generated tree of the native C++ API in simulation: every attribute
// reached from the driver and checked through the C face on the same
// session, collections, enumerations, struct outputs, lifetime and threads.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/test_support.h"
#include "zentrava/Zentrava.h"
#include "zentrava/driver.hpp"
#include "zentrava/native_attributes.hpp"

namespace {

using zentrava::AttributeEntry;
using zentrava::AttributeValue;
using zentrava::Driver;

zentrava::OpenOptions Simulated(std::string options = "") {
    return {.id_query = false, .reset = false, .simulate = true, .options = std::move(options)};
}

// A value the attribute does not hold yet (for an enumeration: the next of its values).
AttributeValue Another(const AttributeEntry& entry, const AttributeValue& value) {
    if (const bool* flag = std::get_if<bool>(&value)) return !*flag;
    if (const double* real = std::get_if<double>(&value)) return *real + 1.5;
    if (const std::string* text = std::get_if<std::string>(&value)) return *text + "native";
    const std::int32_t number = std::get<std::int32_t>(value);
    if (entry.choices.empty()) return number + 1;
    const auto at = std::find(entry.choices.begin(), entry.choices.end(), number);
    return at == entry.choices.end() || at + 1 == entry.choices.end() ? entry.choices.front() : *(at + 1);
}

// The same attribute read through the C face, whose selector names the
// items the native path takes: the first of each collection.
AttributeValue ReadThroughC(ViSession vi, const AttributeEntry& entry, const AttributeValue& like) {
    const std::string selector = entry.depth == 0 ? "" : entry.depth == 1 ? "Measurement1" : "Measurement1:Marker1";
    ViStatus status = 0;
    AttributeValue read;
    if (std::holds_alternative<bool>(like)) {
        ViBoolean flag = VI_FALSE;
        status = Ztv_GetAttributeViBoolean(vi, selector.c_str(), entry.id, &flag);
        read = flag != VI_FALSE;
    } else if (std::holds_alternative<double>(like)) {
        ViReal64 real = 0;
        status = Ztv_GetAttributeViReal64(vi, selector.c_str(), entry.id, &real);
        read = real;
    } else if (std::holds_alternative<std::int32_t>(like)) {
        ViInt32 number = 0;
        status = Ztv_GetAttributeViInt32(vi, selector.c_str(), entry.id, &number);
        read = number;
    } else {
        ViChar text[1024] = "";
        status = Ztv_GetAttributeViString(vi, selector.c_str(), entry.id, sizeof text, text);
        read = std::string(text);
    }
    EXPECT_EQ(status, 0) << "C face read of " << entry.constant;
    return read;
}

class NativeTree : public ::testing::Test {
protected:
    ztv::test::IsolatedEnvironment environment_;
};

TEST_F(NativeTree, EveryAttributeIsReachedAndWrittenAsTheCFaceSeesIt) {
    Driver driver("", Simulated());
    ViSession vi = VI_NULL;
    ASSERT_EQ(Ztv_AttachToExistingCOMSession(driver.com().get(), &vi), 0);
    std::set<std::string> paths;
    std::size_t written = 0;
    for (const AttributeEntry& entry : zentrava::kAttributes) {
        SCOPED_TRACE(entry.path);
        EXPECT_TRUE(paths.insert(entry.path).second) << "two attributes on one path";
        try {
            const AttributeValue value = entry.get(driver);
            EXPECT_EQ(ReadThroughC(vi, entry, value), value);
            // A session's simulation state is fixed while it is open, and
            // the driver has no interchange check to turn on.
            if (!entry.writable || entry.id == IVI_ATTR_SIMULATE || entry.id == IVI_ATTR_INTERCHANGE_CHECK) continue;
            const AttributeValue next = Another(entry, value);
            entry.set(driver, next);
            EXPECT_EQ(entry.get(driver), next);
            EXPECT_EQ(ReadThroughC(vi, entry, next), next);
            ++written;
        } catch (const zentrava::Error& e) {
            ADD_FAILURE() << e.what();
        }
    }
    EXPECT_EQ(paths.size(), std::size(zentrava::kAttributes));
    EXPECT_GT(written, paths.size() / 2);
    Ztv_close(vi);
}

TEST_F(NativeTree, CollectionsGiveTheSameItemByNumberAndByNameInOrder) {
    Driver driver("", Simulated());
    const auto markers = driver.application().phase_noise().measurements()[1].markers();
    ASSERT_EQ(markers.size(), 10u);
    EXPECT_EQ(markers.count(), 10);
    EXPECT_EQ(markers.name(10), "Marker10");
    markers[3].set_x_value(2e3);
    EXPECT_EQ(markers["Marker3"].x_value(), 2e3);

    std::vector<double> positions;
    for (const auto marker : markers) positions.push_back(marker.x_value());
    ASSERT_EQ(positions.size(), markers.size());
    EXPECT_EQ(positions[2], 2e3);
    EXPECT_EQ(std::count(positions.begin(), positions.end(), 2e3), 1);
}

TEST_F(NativeTree, EnumerationsCarryTheModelsNumbers) {
    static_assert(static_cast<int>(zentrava::MeasFuncAnalysisType::INTEGRAL) ==
                  ZTV_VAL_ZENTRAVA_MEAS_FUNC_ANALYSIS_TYPE_INTEGRAL);
    Driver driver("", Simulated());
    const auto function = driver.application().phase_noise().measurements()[1].function();
    function.set_analysis_type(zentrava::MeasFuncAnalysisType::INTEGRAL);
    EXPECT_EQ(function.analysis_type(), zentrava::MeasFuncAnalysisType::INTEGRAL);
    ViSession vi = VI_NULL;
    ASSERT_EQ(Ztv_AttachToExistingCOMSession(driver.com().get(), &vi), 0);
    ViInt32 number = 0;
    EXPECT_EQ(Ztv_GetAttributeViInt32(vi, "Measurement1",
                                      ZTV_ATTR_APPLICATION_PHASENOISE_MEASUREMENT_FUNCTION_ANALYSIS_TYPE, &number),
              0);
    EXPECT_EQ(number, ZTV_VAL_ZENTRAVA_MEAS_FUNC_ANALYSIS_TYPE_INTEGRAL);
    Ztv_close(vi);
}

TEST_F(NativeTree, ANodeOutlivingItsDriverThrowsAndNeverCrashes) {
    std::optional<zentrava::nodes::PNMarker> marker;
    std::optional<zentrava::nodes::PNMeasurementData> data;
    {
        Driver driver("", Simulated());
        marker = driver.application().phase_noise().measurements()[1].markers()[1];
        data = driver.application().phase_noise().measurements()[1].data();
        marker->set_x_value(1e3);
        EXPECT_EQ(marker->x_value(), 1e3);
    }
    Driver driver("", Simulated());
    const auto system = driver.system();
    driver.close();
    driver.close();  // once only
    const std::function<void()> calls[] = {
        [&] { marker->x_value(); },     [&] { marker->set_enabled(true); },
        [&] { data->get_formatted(); }, [&] { system.timeout_milliseconds(); },
        [&] { driver.attenuation(); },
    };
    for (const auto& call : calls) {
        try {
            call();
            ADD_FAILURE() << "a closed session answered";
        } catch (const zentrava::Error& e) {
            EXPECT_EQ(static_cast<std::uint32_t>(e.status()), 0xBFFA001Du);
            EXPECT_STREQ(e.what(), "Zentrava: A connection to the instrument has not been established.");
        }
    }
}

TEST_F(NativeTree, ADriverIsSharedByThreads) {
    Driver driver("", Simulated());
    const auto markers = driver.application().phase_noise().measurements()[1].markers();
    constexpr int kThreads = 4;
    std::vector<std::thread> threads;
    std::vector<int> mismatches(kThreads, 0);
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            const auto marker = markers[t + 1];
            for (int i = 0; i < 200; ++i) {
                const double x = 1e3 * (t + 1) + i;
                marker.set_x_value(x);
                if (marker.x_value() != x || driver.identity().specific_driver_prefix() != "Ztv") ++mismatches[t];
            }
        });
    }
    for (auto& thread : threads) thread.join();
    EXPECT_EQ(mismatches, std::vector<int>(kThreads, 0));
}

// The driver's snapshot is the C face's: the settings as last written, keyed
// as ztv takes them, and the session stays usable afterwards.
TEST_F(NativeTree, SnapshotHoldsTheSettingsAsWritten) {
    Driver driver("", Simulated());
    driver.set_attenuation(12.5);
    driver.application().phase_noise().measurements()[1].function().set_analysis_type(
        zentrava::MeasFuncAnalysisType::INTEGRAL);
    const std::string json = driver.snapshot();
    EXPECT_NE(json.find("\"ATTENUATION\": 12.5"), std::string::npos) << json.substr(0, 300);
    EXPECT_NE(json.find("\"APPLICATION_PHASENOISE_MEASUREMENT_FUNCTION_ANALYSIS_TYPE[Measurement1]\""),
              std::string::npos);
    EXPECT_EQ(driver.attenuation(), 12.5);
}

}  // namespace
