// The real driver object talking to an in-process emulator over one of its
// LAN interfaces on loopback, or through its GPIB-ETHERNET adapter front,
// and what the emulator received from it.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "emulator/emulator.h"
#include "tests/io/fault_proxy.h"
#include "tests/support/test_support.h"

namespace ztv::test {

enum class Link { Socket, Vxi11, Hislip, Gpib };
// Whether the driver reaches the emulator through a fault-injecting relay.
enum class Route { Direct, ThroughProxy };

std::string LinkName(const ::testing::TestParamInfo<Link>& info);

class DriverOnEmulator {
public:
    explicit DriverOnEmulator(Link link, emulator::Options options = {}, Route route = Route::Direct);
    ~DriverOnEmulator();

    HRESULT Initialize(bool idQuery, bool reset, std::string_view options = "");

    Link link() const { return link_; }
    const std::string& resource() const { return resource_; }
    IIviDriver* driver() { return driver_->get(); }
    Zentrava& object() { return *static_cast<Zentrava*>(driver_->get()); }
    CDriverIOManager& io() { return object().IO(); }
    CDriverIOProvider& provider() { return object().Provider(); }
    Ref<IIviDriverOperation> operation() { return Query<IIviDriverOperation>(driver(), IID_IIviDriverOperation); }
    Ref<IIviDriverUtility> utility() { return Query<IIviDriverUtility>(driver(), IID_IIviDriverUtility); }
    Ref<IIviDriverIdentity> identity() { return Query<IIviDriverIdentity>(driver(), IID_IIviDriverIdentity); }

    emulator::Emulator& emu() { return *emulator_; }
    emulator::Instrument& instrument() { return emulator_->instrument(); }
    emulator::Faults& faults() { return emulator_->faults(); }
    FaultProxy& proxy() { return *proxy_; }

    // Program messages the emulator received since the last ClearSent, with
    // their exact bytes, and the connection each arrived on. Both first make
    // sure that whatever the driver wrote has arrived (see Sync).
    std::vector<std::string> Sent();
    std::vector<int> SentConnections() const;
    void ClearSent();

    // Whether the session was device-cleared since `MarkClears`: the socket
    // interface clears by reconnecting, the others by their clear request.
    void MarkClears();
    bool ClearedSinceMark() const;

private:
    // Writes reach the emulator asynchronously; a query sent past the
    // pipeline (so never polled) returns only after everything before it was
    // received. A pending reply fault would hit it, so tests inject those
    // after their last ClearSent.
    bool Sync();

    IsolatedEnvironment env_;
    Link link_;
    std::unique_ptr<emulator::Emulator> emulator_;
    std::unique_ptr<FaultProxy> proxy_;
    std::optional<ScopedEnv> vxi11Port_;
    std::optional<ScopedEnv> gpibAdapter_;
    std::string resource_;
    std::optional<Ref<IIviDriver>> driver_;
    std::uint64_t clearsAtMark_ = 0;
};

// A test per interface, each with its own emulator and driver object.
class OnEachLink : public ::testing::TestWithParam<Link> {
protected:
    DriverOnEmulator& rig() { return *rig_; }
    void SetUp() override { rig_ = std::make_unique<DriverOnEmulator>(GetParam()); }
    void TearDown() override { rig_.reset(); }

    // Initializes without ID query or reset and forgets the "*IDN?" it sent.
    void Open(std::string_view options = "") {
        ASSERT_EQ(rig().Initialize(false, false, options), S_OK) << ThreadErrorText();
        rig().ClearSent();
    }

private:
    std::unique_ptr<DriverOnEmulator> rig_;
};

inline constexpr Link kAllLinks[] = {Link::Socket, Link::Vxi11, Link::Hislip, Link::Gpib};

inline constexpr const char* kInstrumentStatusText =
    "Zentrava: Instrument error detected.  Use ErrorQuery() to determine the error(s).";

}  // namespace ztv::test
