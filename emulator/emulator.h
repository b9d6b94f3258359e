#pragma once

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "emulator/faults.h"
#include "emulator/instrument.h"
#include "emulator/recorder.h"

namespace emulator {

struct Options {
  std::string bindAddress = "127.0.0.1";
  int socketPort = 0;   // 0: ephemeral; -1: not served
  int vxi11Port = 0;
  int hislipPort = 0;
  bool portmapper = false;
  int portmapperPort = 111;  // 0: ephemeral
  std::string manufacturer = "Orvane Technologies";
  std::string model = "Q7310B";
  std::string serial = "0123456789";
  std::string firmware = "1.0.9";
  std::string options = "QVX-BBM";  // "*OPT?" reply
  int tracePoints = 1001;
  int measurementDelayMs = 0;
  bool shortReals = false;  // measured reals in the short form rather than NR3
  unsigned long vxi11MaxRecvSize = 1u << 20;
  bool hislipOverlapped = false;
  unsigned long long hislipMaxMessageSize = 1u << 20;
  std::string replayPath;   // serve this recording instead of the instrument's replies
  double replaySpeed = 1;   // scales the recorded reply delays; 0 answers at once
};

class SocketServer;
class Vxi11Server;
class HislipServer;
class Portmapper;

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

  Instrument& instrument() { return instrument_; }
  Faults& faults() { return instrument_.faults(); }
  std::vector<ReceivedMessage> Received() const { return recorder_.All(); }
  void ClearReceived() { recorder_.Clear(); }

  // VISA resource strings of the running servers.
  std::string SocketResource() const;
  std::string Vxi11Resource() const;
  std::string HislipResource() const;

 private:
  Options options_;
  Instrument instrument_;
  Recorder recorder_;
  std::atomic<int> connections_{0};
  std::unique_ptr<SocketServer> socket_;
  std::unique_ptr<Vxi11Server> vxi11_;
  std::unique_ptr<HislipServer> hislip_;
  std::unique_ptr<Portmapper> portmapper_;
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
