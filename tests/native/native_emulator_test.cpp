// The native C++ API against the emulator over a real socket on loopback:
// a phase-noise measurement read both ways, struct outputs, time-outs and
// instrument errors.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>
#include <span>
#include <string>
#include <vector>

#include "emulator/emulator.h"
#include "tests/support/emulator_support.h"
#include "tests/support/test_support.h"
#include "zentrava/driver.hpp"

namespace {

using zentrava::Driver;

emulator::Options SocketOnly() {
    emulator::Options options = emulator::test::ServingOnly(emulator::Channel::Socket);
    return options;
}

class NativeOnEmulator : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(emulator::test::Started(emulator_)); }

    ztv::test::IsolatedEnvironment environment_;
    emulator::Emulator emulator_{SocketOnly()};
};

TEST_F(NativeOnEmulator, APhaseNoiseTraceReadsIntoAVectorAndIntoTheCallersBuffer) {
    Driver driver(emulator_.SocketResource(), {.options = "QueryInstrStatus=true"});
    EXPECT_EQ(driver.identity().instrument_model(), "Q7310B");
    const auto pn = driver.application().phase_noise();
    pn.measurements().initiate();
    driver.system().wait_for_operation_complete(10000);
    const auto measurement = pn.measurements()[1];
    const std::vector<double> trace = measurement.data().get_formatted();
    ASSERT_EQ(trace.size(), 1001u);
    EXPECT_EQ(measurement.get_x_data().size(), trace.size());

    const double unset = std::numeric_limits<double>::quiet_NaN();
    std::vector<double> room(trace.size() + 5, unset);
    EXPECT_EQ(measurement.data().get_formatted(std::span<double>(room)), trace.size());
    EXPECT_TRUE(std::equal(trace.begin(), trace.end(), room.begin()));
    EXPECT_TRUE(std::isnan(room[trace.size()]));  // nothing past the result

    std::vector<double> small(10, unset);
    EXPECT_EQ(measurement.data().get_formatted(std::span<double>(small)), trace.size());
    EXPECT_TRUE(std::equal(small.begin(), small.end(), trace.begin()));

    const auto marker = measurement.markers()[1];
    marker.set_enabled(true);
    marker.set_x_value(1e3);
    const auto [low, high] = std::minmax_element(trace.begin(), trace.end());
    EXPECT_GE(marker.y_value(), *low);
    EXPECT_LE(marker.y_value(), *high);
}

TEST_F(NativeOnEmulator, SeveralOutputsComeBackAsAStructInTheirOrder) {
    Driver driver(emulator_.SocketResource());
    const auto measurements = driver.application().am_noise().measurements();
    measurements.initiate();
    driver.system().wait_for_operation_complete(10000);
    const auto measurement = measurements[1];
    const std::vector<double> y = measurement.data().get_formatted();
    ASSERT_FALSE(y.empty());
    const double mean = std::accumulate(y.begin(), y.end(), 0.0) / static_cast<double>(y.size());
    const auto [low, high] = std::minmax_element(y.begin(), y.end());

    const zentrava::StatisticDataResult s = measurement.function().statistic_data();
    EXPECT_NEAR(s.mean, mean, 1e-6 * std::abs(mean));
    EXPECT_NEAR(s.peak_to_peak, *high - *low, 1e-6 * (*high - *low));
    EXPECT_GT(s.std_dev, 0);
    EXPECT_LT(s.std_dev, s.peak_to_peak);
}

TEST_F(NativeOnEmulator, ATimeOutAndAnInstrumentErrorThrowTheirClasses) {
    Driver driver(emulator_.SocketResource());
    driver.driver_operation().set_cache(false);
    driver.set_attenuation(3.5);
    driver.system().set_timeout_milliseconds(300);
    emulator_.faults().SwallowReplies(1);
    try {
        driver.attenuation();
        ADD_FAILURE() << "the swallowed reply arrived";
    } catch (const zentrava::TimeoutError& e) {
        EXPECT_EQ(static_cast<std::uint32_t>(e.status()), 0xBFFA4215u);
        EXPECT_NE(std::string(e.what()).find("IO timeout error"), std::string::npos) << e.what();
    }
    EXPECT_EQ(driver.attenuation(), 3.5);  // the session goes on

    driver.driver_operation().set_query_instrument_status(true);
    try {
        driver.set_attenuation(99);
        ADD_FAILURE() << "the instrument took 99 dB";
    } catch (const zentrava::InstrumentStatusError& e) {
        EXPECT_EQ(static_cast<std::uint32_t>(e.status()), 0xBFFA0001u);
        EXPECT_EQ(std::string(e.what()).rfind("Zentrava: Instrument error detected.", 0), 0u) << e.what();
    }
}

}  // namespace
