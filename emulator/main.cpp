// ztv-emulator: a Q7310B signal source analyzer on the network, for trying
// the driver without hardware. See emulator/README.md.
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "emulator/emulator.h"

namespace {

void Usage(const char* program) {
  std::fprintf(stderr,
               "usage: %s [--bind ADDRESS] [--socket-port N] [--vxi11-port N] [--hislip-port N]\n"
               "          [--portmapper [PORT]] [--model NAME] [--serial TEXT] [--options TEXT]\n"
               "          [--trace-points N] [--measurement-delay MS] [--short-reals] [--verbose]\n"
               "A port of -1 switches that interface off; 0 picks a free port.\n",
               program);
}

bool ParseInt(const char* text, int* value) {
  char* end = nullptr;
  long v = std::strtol(text, &end, 10);
  if (!text[0] || *end || v < -1 || v > 65535 * 4) return false;
  *value = static_cast<int>(v);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  emulator::Options options;
  options.socketPort = 5025;
  options.hislipPort = 4880;
  bool verbose = false;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    auto value = [&]() -> const char* { return i + 1 < argc ? argv[++i] : nullptr; };
    auto number = [&](int* out) {
      const char* text = value();
      if (!text || !ParseInt(text, out)) {
        Usage(argv[0]);
        std::exit(2);
      }
    };
    if (arg == "--bind") {
      const char* text = value();
      if (!text) return Usage(argv[0]), 2;
      options.bindAddress = text;
    } else if (arg == "--socket-port") {
      number(&options.socketPort);
    } else if (arg == "--vxi11-port") {
      number(&options.vxi11Port);
    } else if (arg == "--hislip-port") {
      number(&options.hislipPort);
    } else if (arg == "--portmapper") {
      options.portmapper = true;
      if (i + 1 < argc && argv[i + 1][0] != '-') number(&options.portmapperPort);
    } else if (arg == "--model" || arg == "--serial" || arg == "--options") {
      const char* text = value();
      if (!text) return Usage(argv[0]), 2;
      (arg == "--model" ? options.model : arg == "--serial" ? options.serial : options.options) = text;
    } else if (arg == "--trace-points") {
      number(&options.tracePoints);
    } else if (arg == "--measurement-delay") {
      number(&options.measurementDelayMs);
    } else if (arg == "--short-reals") {
      options.shortReals = true;
    } else if (arg == "--verbose") {
      verbose = true;
    } else {
      Usage(argv[0]);
      return arg == "--help" || arg == "-h" ? 0 : 2;
    }
  }

  // Block the stop signals before any server thread exists, so that only
  // sigwait below sees them.
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGINT);
  sigaddset(&stopSignals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

  emulator::Emulator emulator(options);
  std::string error;
  if (!emulator.Start(&error)) {
    std::fprintf(stderr, "ztv-emulator: %s\n", error.c_str());
    return 1;
  }
  std::printf("ztv-emulator: %s %s serving on %s\n", options.manufacturer.c_str(), options.model.c_str(),
              options.bindAddress.c_str());
  if (emulator.SocketPort()) {
    std::printf("  raw socket  port %-5d  %s\n", emulator.SocketPort(), emulator.SocketResource().c_str());
  }
  if (emulator.Vxi11Port()) {
    std::printf("  VXI-11      port %-5d  %s\n", emulator.Vxi11Port(), emulator.Vxi11Resource().c_str());
  }
  if (emulator.PortmapperPort()) std::printf("  portmapper  port %d\n", emulator.PortmapperPort());
  if (emulator.HislipPort()) {
    std::printf("  HiSLIP      port %-5d  %s\n", emulator.HislipPort(), emulator.HislipResource().c_str());
  }
  std::fflush(stdout);

  int signal = 0;
  if (verbose) {
    // Poll the record of received messages until a stop signal arrives.
    timespec interval{0, 100 * 1000 * 1000};
    std::size_t shown = 0;
    for (;;) {
      signal = sigtimedwait(&stopSignals, nullptr, &interval);
      std::vector<emulator::ReceivedMessage> received = emulator.Received();
      for (; shown < received.size(); ++shown) {
        static const char* const kChannels[] = {"socket", "vxi11", "hislip"};
        const emulator::ReceivedMessage& m = received[shown];
        std::string text = m.bytes.size() > 200 ? m.bytes.substr(0, 200) + "..." : m.bytes;
        while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
        std::printf("[%s #%d] %s\n", kChannels[static_cast<int>(m.channel)], m.connection, text.c_str());
      }
      std::fflush(stdout);
      if (signal > 0) break;
      // Keep the record from growing without bound in long runs.
      if (received.size() > 100000) {
        emulator.ClearReceived();
        shown = 0;
      }
    }
  } else {
    sigwait(&stopSignals, &signal);
  }
  std::printf("ztv-emulator: stopping on signal %d\n", signal);
  emulator.Stop();
  return 0;
}
