#pragma once

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "emulator/faults/faults.h"
#include "emulator/instrument/instrument.h"
#include "emulator/replay/recorder.h"

namespace emulator {

// The instrument's own settings come from InstrumentOptions, so that their
// defaults are written once.
struct Options : InstrumentOptions {
    std::string bindAddress = "127.0.0.1";
    int socketPort = 0;  // 0: ephemeral; -1: not served
    int vxi11Port = 0;
    int hislipPort = 0;
    bool portmapper = false;
    int portmapperPort = 111;  // 0: ephemeral
    int prologixPort = -1;     // GPIB-ETHERNET adapter front; 0: ephemeral, -1: none
    bool prologixPty = false;  // GPIB-USB adapter front on a pseudo-terminal
    int gpibAddress = 17;      // the instrument's address behind the adapters
    unsigned long vxi11MaxRecvSize = 1u << 20;
    bool hislipOverlapped = false;
    bool announce = false;  // answer multicast DNS for the services served
    unsigned long long hislipMaxMessageSize = 1u << 20;
    std::string replayPath;  // serve this recording instead of the instrument's replies
    double replaySpeed = 1;  // scales the recorded reply delays; 0 answers at once
};

class SocketServer;
class Vxi11Server;
class HislipServer;
class Portmapper;
class MdnsResponder;
struct Announcement;
class PrologixServer;

// A Q7310B on the network: one instrument behind a raw socket, a VXI-11
// core channel (with an optional portmapper) and a HiSLIP port.
class Emulator {
public:
    explicit Emulator(Options options = {});
    ~Emulator();
    Emulator(const Emulator&) = delete;
    Emulator& operator=(const Emulator&) = delete;

    // Opens every configured port; on failure nothing stays open.
    bool Start(std::string* error);
    // Closes all ports and connections and joins every thread. May be
    // followed by another Start.
    void Stop();

    int SocketPort() const;
    int Vxi11Port() const;
    int HislipPort() const;
    int PortmapperPort() const;
    int PrologixPort() const;
    std::string PrologixPtyPath() const;
    // Every byte the adapter fronts received, since the last clear.
    std::string PrologixInput() const;
    void ClearPrologixInput();

    Instrument& instrument() { return instrument_; }
    Faults& faults() { return instrument_.faults(); }
    std::vector<ReceivedMessage> Received() const { return recorder_.All(); }
    void ClearReceived() { recorder_.Clear(); }

    // VISA resource strings of the running servers.
    std::string SocketResource() const;
    std::string Vxi11Resource() const;
    std::string HislipResource() const;
    // "GPIB0::<address>::INSTR" and the adapters' own resources.
    std::string GpibResource() const;
    std::string PrologixSocketResource() const;
    std::string PrologixPtyResource() const;

private:
    // What --announce tells of the servers running.
    Announcement Announced() const;

    Options options_;
    Instrument instrument_;
    Recorder recorder_;
    std::atomic<int> connections_{0};
    std::unique_ptr<SocketServer> socket_;
    std::unique_ptr<Vxi11Server> vxi11_;
    std::unique_ptr<HislipServer> hislip_;
    std::unique_ptr<Portmapper> portmapper_;
    std::unique_ptr<MdnsResponder> responder_;
    std::unique_ptr<PrologixServer> prologix_;
};

// "TCPIP0::<host>::<port>::SOCKET"
std::string SocketResourceString(const std::string& host, int port);
// "TCPIP0::<host>::inst0::INSTR". VISA resource strings cannot name the
// core channel port; clients find it through the portmapper or an option.
std::string Vxi11ResourceString(const std::string& host);
// "TCPIP0::<host>::hislip0::INSTR", with ",<port>" after hislip0 when the
// port is not the standard 4880.
std::string HislipResourceString(const std::string& host, int port);

}  // namespace emulator
