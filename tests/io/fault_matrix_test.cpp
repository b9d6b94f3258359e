// Every network fault on every LAN interface, through a relay that spoils
// the instrument's reply: the call fails soon after its time-out with the
// status of what happened, no later query reads an earlier reply, and the
// session goes on working.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>

#include "tests/io/driver_on_emulator.h"

namespace ztv::test {
namespace {

using std::chrono::milliseconds;

constexpr LONG kTimeoutMs = 500;
// How much later than its time-out a failure may be reported: the recovery
// (RPC margin, device clear) has fixed bounds of its own.
constexpr milliseconds kLateness{500};

constexpr HRESULT kTimeout = E_ZENTRAVA_IO_TIMEOUT;
constexpr HRESULT kIoError = E_ZENTRAVA_IO_GENERAL;

struct FaultCase {
    const char* name;
    ProxyFault fault;  // None: the server goes away and comes back
    HRESULT socket, vxi11, hislip, gpib;

    HRESULT Expected(Link link) const {
        return link == Link::Socket ? socket : link == Link::Vxi11 ? vxi11 : link == Link::Hislip ? hislip : gpib;
    }
};

// Without its end a raw-socket reply is never complete, so a spoiled reply
// there times out where the framed protocols see the damage: garbage read
// as a VXI-11 record length claims far more than the call can need. A GPIB
// adapter forwards whatever the instrument sent up to its EOI, with no
// framing of its own: garbage or a cut reply is the reply.
constexpr FaultCase kFaults[] = {
    {"delay beyond the time-out", ProxyFault::Delay, kTimeout, kTimeout, kTimeout, kTimeout},
    {"no reply", ProxyFault::NoReply, kTimeout, kTimeout, kTimeout, kTimeout},
    {"connection closed mid-reply", ProxyFault::CloseMidReply, kIoError, kIoError, kIoError, kIoError},
    {"reset before the reply", ProxyFault::ResetBeforeReply, kIoError, kIoError, kIoError, kIoError},
    {"garbage", ProxyFault::Garbage, kTimeout, kIoError, kIoError, S_OK},
    {"truncated reply", ProxyFault::Truncate, kTimeout, kTimeout, kTimeout, S_OK},
    {"server gone and back", ProxyFault::None, kIoError, kIoError, kIoError, kIoError},
};

const char* StartOfText(HRESULT code) {
    return code == kTimeout ? "Zentrava: IO timeout error: " : "Zentrava: IO error: ";
}

class FaultMatrix : public ::testing::TestWithParam<Link> {};

TEST_P(FaultMatrix, EachFaultFailsInTimeAndTheSessionRecovers) {
    const Link link = GetParam();
    DriverOnEmulator rig(link, {}, Route::ThroughProxy);
    ASSERT_EQ(rig.Initialize(false, false), S_OK) << ThreadErrorText();
    ASSERT_EQ(rig.provider().SetIOTimeout(kTimeoutMs), S_OK);
    // A VXI-11 query is two calls; the reply to spoil is the read's.
    const int pass = link == Link::Vxi11 ? 1 : 0;
    double level = 1;
    auto query = [&](double* value) { return rig.io().InstrQuery("SENS:ATT:LEV?", value, kCurrentTimeout); };

    for (const FaultCase& c : kFaults) {
        SCOPED_TRACE(c.name);
        rig.instrument().SetSetting("SENS:ATT:LEV", std::to_string(level));
        if (c.fault == ProxyFault::None) {
            rig.proxy().GoAway();
        } else {
            rig.proxy().Arm(c.fault, pass, milliseconds(3 * kTimeoutMs));
        }
        double value = -1;
        const auto start = std::chrono::steady_clock::now();
        const HRESULT result = query(&value);
        const auto took = std::chrono::duration_cast<milliseconds>(std::chrono::steady_clock::now() - start);
        const std::string text = ThreadErrorText();
        std::printf("fault matrix: %-28s %-7s %-28s %5lld ms\n", c.name, LinkName({link, 0}).c_str(),
                    result == kTimeout   ? "IO timeout"
                    : result == kIoError ? "IO error"
                                         : "other",
                    static_cast<long long>(took.count()));
        EXPECT_EQ(result, c.Expected(link)) << text;
        if (FAILED(c.Expected(link))) {
            EXPECT_THAT(text, ::testing::StartsWith(StartOfText(c.Expected(link))));
        }
        EXPECT_LE(took, milliseconds(kTimeoutMs) + kLateness);
        if (c.fault == ProxyFault::None) rig.proxy().ComeBack();
        rig.proxy().Arm(ProxyFault::None);

        // A new value each time: a late or stale reply cannot pass for it.
        level += 1;
        rig.instrument().SetSetting("SENS:ATT:LEV", std::to_string(level));
        ASSERT_EQ(rig.provider().SetIOTimeout(4 * kTimeoutMs), S_OK);
        for (int again = 0; again < 2; ++again) {
            EXPECT_EQ(query(&value), S_OK) << ThreadErrorText();
            EXPECT_EQ(value, level);
        }
        ASSERT_EQ(rig.provider().SetIOTimeout(kTimeoutMs), S_OK);
        level += 1;
    }
}

INSTANTIATE_TEST_SUITE_P(Lan, FaultMatrix, ::testing::ValuesIn(kAllLinks), LinkName);

}  // namespace
}  // namespace ztv::test
