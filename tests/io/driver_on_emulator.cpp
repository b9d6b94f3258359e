#include "tests/io/driver_on_emulator.h"

#include <set>

#include "platform/visa/transport/lan/portmapper.h"
#include "tests/support/emulator_support.h"

namespace ztv::test {
namespace {

emulator::Channel ChannelOf(Link link) {
    switch (link) {
        case Link::Socket:
            return emulator::Channel::Socket;
        case Link::Vxi11:
            return emulator::Channel::Vxi11;
        case Link::Hislip:
            return emulator::Channel::Hislip;
        case Link::Gpib:
            return emulator::Channel::Gpib;
    }
    return emulator::Channel::Socket;
}

}  // namespace

std::string LinkName(const ::testing::TestParamInfo<Link>& info) {
    switch (info.param) {
        case Link::Socket:
            return "Socket";
        case Link::Vxi11:
            return "Vxi11";
        case Link::Hislip:
            return "Hislip";
        case Link::Gpib:
            return "Gpib";
    }
    return "Unknown";
}

DriverOnEmulator::DriverOnEmulator(Link link, emulator::Options options, Route route) : link_(link) {
    // Only the interface under test is served, so nothing else can answer.
    if (link != Link::Socket) options.socketPort = -1;
    if (link != Link::Vxi11) options.vxi11Port = -1;
    if (link != Link::Hislip) options.hislipPort = -1;
    if (link == Link::Gpib) options.prologixPort = 0;
    emulator_ = std::make_unique<emulator::Emulator>(options);
    EXPECT_TRUE(emulator::test::Started(*emulator_));
    const int served = link == Link::Socket   ? emulator_->SocketPort()
                       : link == Link::Vxi11  ? emulator_->Vxi11Port()
                       : link == Link::Hislip ? emulator_->HislipPort()
                                              : emulator_->PrologixPort();
    if (route == Route::ThroughProxy) proxy_ = std::make_unique<FaultProxy>(static_cast<std::uint16_t>(served));
    const int port = proxy_ ? proxy_->port() : served;
    switch (link) {
        case Link::Socket:
            resource_ = emulator::SocketResourceString(options.bindAddress, port);
            break;
        case Link::Vxi11:
            // Unprivileged tests cannot serve the portmapper on 111: the
            // driver asks the one on the emulator's port, or is told the port.
            if (options.portmapper) {
                visa::SetPortmapperPort(static_cast<std::uint16_t>(emulator_->PortmapperPort()));
            } else {
                vxi11Port_.emplace("ZENTRAVA_VXI11_PORT", std::to_string(port));
            }
            resource_ = emulator_->Vxi11Resource();
            break;
        case Link::Hislip:
            resource_ = emulator::HislipResourceString(options.bindAddress, port);
            break;
        case Link::Gpib:
            gpibAdapter_.emplace("ZENTRAVA_GPIB0", emulator::SocketResourceString(options.bindAddress, port));
            resource_ = emulator_->GpibResource();
            break;
    }
    driver_.emplace(NewDriver());
}

DriverOnEmulator::~DriverOnEmulator() {
    driver_.reset();
    proxy_.reset();
    visa::SetPortmapperPort(0);
    emulator_->Stop();
}

HRESULT DriverOnEmulator::Initialize(bool idQuery, bool reset, std::string_view options) {
    return InitializeDriver(driver(), resource_, idQuery, reset, options);
}

bool DriverOnEmulator::Sync() {
    Ref<visa::IMessage> message(object().Provider().Message());
    if (!message.get()) return false;
    static constexpr char kQuery[] = "*OPC?\n";
    LONG count = 0;
    if (FAILED(message->WriteBytes(kQuery, sizeof kQuery - 1, &count))) return false;
    char reply[64];
    return SUCCEEDED(message->ReadBytes(reply, sizeof reply, &count));
}

void DriverOnEmulator::ClearSent() {
    Sync();
    emulator_->ClearReceived();
}

std::vector<std::string> DriverOnEmulator::Sent() {
    const bool synced = Sync();
    std::vector<std::string> bytes;
    for (const emulator::ReceivedMessage& message : emulator_->Received()) {
        EXPECT_EQ(message.channel, ChannelOf(link_));
        bytes.push_back(message.bytes);
    }
    if (synced && !bytes.empty()) bytes.pop_back();
    return bytes;
}

std::vector<int> DriverOnEmulator::SentConnections() const {
    std::vector<int> connections;
    for (const emulator::ReceivedMessage& message : emulator_->Received()) connections.push_back(message.connection);
    return connections;
}

void DriverOnEmulator::MarkClears() {
    clearsAtMark_ = emulator_->instrument().DeviceClearCount();
    ClearSent();
}

bool DriverOnEmulator::ClearedSinceMark() const {
    if (link_ != Link::Socket) return emulator_->instrument().DeviceClearCount() > clearsAtMark_;
    // A reconnect shows as later messages arriving on more than one connection.
    const std::vector<int> connections = SentConnections();
    return std::set<int>(connections.begin(), connections.end()).size() > 1;
}

}  // namespace ztv::test
