#include "emulator/emulator.h"

#include "emulator/servers/hislip_server.h"
#include "emulator/servers/mdns_responder.h"
#include "emulator/servers/portmapper.h"
#include "emulator/servers/prologix_server.h"
#include "emulator/servers/socket_server.h"
#include "emulator/servers/vxi11_server.h"

namespace emulator {

namespace {

constexpr int kStandardHislipPort = 4880;

}  // namespace

Emulator::Emulator(Options options)
    : options_(std::move(options)), instrument_(static_cast<const InstrumentOptions&>(options_)) {}

Emulator::~Emulator() { Stop(); }

bool Emulator::Start(std::string* error) {
    Stop();
    if (!options_.replayPath.empty()) {
        std::unique_ptr<Replay> replay = Replay::Load(options_.replayPath, options_.replaySpeed, error);
        if (!replay) return false;
        instrument_.SetReplay(std::move(replay));
    }
    instrument_.Resume();
    const std::string& address = options_.bindAddress;
    bool ok = true;
    if (options_.socketPort >= 0) {
        socket_ = std::make_unique<SocketServer>(instrument_, recorder_, connections_);
        ok = socket_->Start(address, options_.socketPort, error);
    }
    if (ok && options_.vxi11Port >= 0) {
        vxi11_ = std::make_unique<Vxi11Server>(instrument_, recorder_, connections_, options_.vxi11MaxRecvSize);
        ok = vxi11_->Start(address, options_.vxi11Port, error);
        if (ok && options_.portmapper) {
            portmapper_ = std::make_unique<Portmapper>();
            ok = portmapper_->Start(address, options_.portmapperPort, vxi11_->Port(), error);
        }
    }
    if (ok && options_.hislipPort >= 0) {
        hislip_ =
            std::make_unique<HislipServer>(instrument_, recorder_, connections_,
                                           HislipOptions{options_.hislipOverlapped, options_.hislipMaxMessageSize});
        ok = hislip_->Start(address, options_.hislipPort, error);
    }
    if (ok && options_.announce) {
        responder_ = std::make_unique<MdnsResponder>();
        ok = responder_->Start(Announced(), error);
    }
    if (ok && (options_.prologixPort >= 0 || options_.prologixPty)) {
        prologix_ = std::make_unique<PrologixServer>(instrument_, recorder_, connections_, options_.gpibAddress);
        if (options_.prologixPort >= 0) ok = prologix_->StartEthernet(address, options_.prologixPort, error);
        if (ok && options_.prologixPty) ok = prologix_->StartUsb(error);
    }
    if (!ok) Stop();
    return ok;
}

// A VXI-11 service is announced at its portmapper, where clients ask for it.
Announcement Emulator::Announced() const {
    Announcement a = AnnouncementFor(options_.manufacturer, options_.model, options_.serial, options_.firmware,
                                     options_.bindAddress);
    if (HislipPort()) a.services.push_back({"_hislip._tcp", HislipPort()});
    if (PortmapperPort()) a.services.push_back({"_vxi-11._tcp", PortmapperPort()});
    if (SocketPort()) a.services.push_back({"_scpi-raw._tcp", SocketPort()});
    return a;
}

void Emulator::Stop() {
    instrument_.Halt();
    if (responder_) responder_->Stop();
    if (prologix_) prologix_->Stop();
    if (portmapper_) portmapper_->Stop();
    if (hislip_) hislip_->Stop();
    if (vxi11_) vxi11_->Stop();
    if (socket_) socket_->Stop();
    responder_.reset();
    prologix_.reset();
    portmapper_.reset();
    hislip_.reset();
    vxi11_.reset();
    socket_.reset();
}

int Emulator::SocketPort() const { return socket_ ? socket_->Port() : 0; }
int Emulator::Vxi11Port() const { return vxi11_ ? vxi11_->Port() : 0; }
int Emulator::HislipPort() const { return hislip_ ? hislip_->Port() : 0; }
int Emulator::PortmapperPort() const { return portmapper_ ? portmapper_->Port() : 0; }
int Emulator::PrologixPort() const { return prologix_ ? prologix_->Port() : 0; }
std::string Emulator::PrologixPtyPath() const { return prologix_ ? prologix_->PtyPath() : ""; }
std::string Emulator::PrologixInput() const { return prologix_ ? prologix_->transcript().Bytes() : ""; }
void Emulator::ClearPrologixInput() {
    if (prologix_) prologix_->transcript().Clear();
}

std::string Emulator::SocketResource() const { return SocketResourceString(options_.bindAddress, SocketPort()); }
std::string Emulator::Vxi11Resource() const { return Vxi11ResourceString(options_.bindAddress); }
std::string Emulator::HislipResource() const { return HislipResourceString(options_.bindAddress, HislipPort()); }

std::string Emulator::GpibResource() const { return "GPIB0::" + std::to_string(options_.gpibAddress) + "::INSTR"; }
std::string Emulator::PrologixSocketResource() const {
    return SocketResourceString(options_.bindAddress, PrologixPort());
}
std::string Emulator::PrologixPtyResource() const { return "ASRL" + PrologixPtyPath() + "::INSTR"; }

std::string SocketResourceString(const std::string& host, int port) {
    return "TCPIP0::" + host + "::" + std::to_string(port) + "::SOCKET";
}

std::string Vxi11ResourceString(const std::string& host) { return "TCPIP0::" + host + "::inst0::INSTR"; }

std::string HislipResourceString(const std::string& host, int port) {
    std::string device = "hislip0";
    if (port != kStandardHislipPort) device.append(",").append(std::to_string(port));
    return "TCPIP0::" + host + "::" + device + "::INSTR";
}

}  // namespace emulator
