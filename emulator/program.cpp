#include "emulator/program.h"

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "emulator/emulator.h"

namespace emulator {

namespace {

constexpr int kStandardPortmapperPort = 111;

void Usage(FILE* out, const char* program) {
    std::fprintf(out,
                 "usage: %s [--bind ADDRESS] [--socket-port N] [--vxi11-port N] [--hislip-port N]\n"
                 "          [--portmapper [PORT]] [--prologix-port N] [--prologix-pty] [--gpib-address A]\n"
                 "          [--model NAME] [--serial TEXT] [--options TEXT]\n"
                 "          [--trace-points N] [--measurement-delay MS] [--short-reals] [--announce] [--verbose]\n"
                 "          [--replay RECORDING [--replay-speed F]]\n"
                 "A port of -1 switches that interface off; 0 picks a free port.\n",
                 program);
}

// One whole decimal number in [low, high].
bool ParseInt(const char* text, long low, long high, int* value) {
    char* end = nullptr;
    long v = std::strtol(text, &end, 10);
    if (!text[0] || *end || v < low || v > high) return false;
    *value = static_cast<int>(v);
    return true;
}

// The command line, option by option; a bad value is reported on stderr
// with the option it belongs to.
class Arguments {
public:
    Arguments(const char* program, int argc, char** argv) : program_(program), argc_(argc), argv_(argv) {}

    bool Next() {
        if (++index_ >= argc_) return false;
        option_ = argv_[index_];
        return true;
    }
    const std::string& option() const { return option_; }
    const char* program() const { return program_; }
    // Whether a value follows rather than the next option.
    bool ValueFollows() const { return index_ + 1 < argc_ && argv_[index_ + 1][0] != '-'; }

    bool Text(const char** text) {
        if (index_ + 1 >= argc_) {
            std::fprintf(stderr, "%s: %s needs a value\n", program_, option_.c_str());
            return false;
        }
        *text = argv_[++index_];
        return true;
    }
    bool Text(std::string* out) {
        const char* text = nullptr;
        if (!Text(&text)) return false;
        *out = text;
        return true;
    }
    bool Number(int* out, long low, long high, const char* what) {
        const char* text = nullptr;
        if (!Text(&text)) return false;
        if (ParseInt(text, low, high, out)) return true;
        std::fprintf(stderr, "%s: %s %s: %s\n", program_, option_.c_str(), text, what);
        return false;
    }
    bool Port(int* out) {
        return Number(out, -1, 65535, "not a port (-1 switches it off, 0 picks a free one, else 1 to 65535)");
    }

private:
    const char* program_;
    int argc_;
    char** argv_;
    int index_ = 0;
    std::string option_;
};

struct Parsed {
    Options options;
    bool verbose = false;
};

struct Option {
    const char* name;
    bool (*apply)(Arguments& arguments, Parsed* parsed);
};

bool Set(bool* flag) {
    *flag = true;
    return true;
}

const Option kOptions[] = {
    {"--bind", [](Arguments& a, Parsed* p) { return a.Text(&p->options.bindAddress); }},
    {"--model", [](Arguments& a, Parsed* p) { return a.Text(&p->options.model); }},
    {"--serial", [](Arguments& a, Parsed* p) { return a.Text(&p->options.serial); }},
    {"--options", [](Arguments& a, Parsed* p) { return a.Text(&p->options.options); }},
    {"--socket-port", [](Arguments& a, Parsed* p) { return a.Port(&p->options.socketPort); }},
    {"--vxi11-port", [](Arguments& a, Parsed* p) { return a.Port(&p->options.vxi11Port); }},
    {"--hislip-port", [](Arguments& a, Parsed* p) { return a.Port(&p->options.hislipPort); }},
    {"--prologix-port", [](Arguments& a, Parsed* p) { return a.Port(&p->options.prologixPort); }},
    {"--prologix-pty", [](Arguments&, Parsed* p) { return Set(&p->options.prologixPty); }},
    {"--gpib-address",
     [](Arguments& a, Parsed* p) {
         return a.Number(&p->options.gpibAddress, 1, 30, "GPIB primary addresses are 1 to 30");
     }},
    {"--portmapper",
     [](Arguments& a, Parsed* p) {
         p->options.portmapper = true;
         return !a.ValueFollows() ||
                a.Number(&p->options.portmapperPort, 0, 65535, "not a port (0 picks a free one, else 1 to 65535)");
     }},
    {"--trace-points",
     [](Arguments& a, Parsed* p) {
         return a.Number(&p->options.tracePoints, 2, 100001, "points per trace are 2 to 100001");
     }},
    {"--measurement-delay",
     [](Arguments& a, Parsed* p) {
         return a.Number(&p->options.measurementDelayMs, 0, 3600000, "milliseconds are 0 to 3600000");
     }},
    {"--replay", [](Arguments& a, Parsed* p) { return a.Text(&p->options.replayPath); }},
    {"--replay-speed",
     [](Arguments& a, Parsed* p) {
         const char* text = nullptr;
         if (!a.Text(&text)) return false;
         char* end = nullptr;
         p->options.replaySpeed = std::strtod(text, &end);
         if (*text && !*end && p->options.replaySpeed >= 0) return true;
         std::fprintf(stderr, "%s: --replay-speed %s: a factor of 0 or more\n", a.program(), text);
         return false;
     }},
    {"--short-reals", [](Arguments&, Parsed* p) { return Set(&p->options.shortReals); }},
    {"--announce", [](Arguments&, Parsed* p) { return Set(&p->options.announce); }},
    {"--verbose", [](Arguments&, Parsed* p) { return Set(&p->verbose); }},
};

// Fills `parsed`; on a bad option says which on stderr and returns false.
bool Parse(const char* program, int argc, char** argv, Parsed* parsed, bool* help) {
    Options& options = parsed->options;
    options.socketPort = 5025;
    options.hislipPort = 4880;
    Arguments arguments(program, argc, argv);
    while (arguments.Next()) {
        const std::string& name = arguments.option();
        if (name == "--help" || name == "-h") {
            *help = true;
            return true;
        }
        auto option = std::find_if(std::begin(kOptions), std::end(kOptions),
                                   [&](const Option& candidate) { return name == candidate.name; });
        if (option == std::end(kOptions)) {
            std::fprintf(stderr, "%s: unknown option %s\n", program, name.c_str());
            return false;
        }
        if (!option->apply(arguments, parsed)) return false;
    }
    if (options.portmapper && options.vxi11Port < 0) {
        std::fprintf(stderr, "%s: --portmapper needs the VXI-11 channel, which --vxi11-port -1 switches off\n",
                     program);
        return false;
    }
    return true;
}

void PrintInterfaces(const Options& options, const Emulator& emulator) {
    std::printf("ztv-emulator: %s %s serving on %s\n", options.manufacturer.c_str(), options.model.c_str(),
                options.bindAddress.c_str());
    if (emulator.SocketPort()) {
        std::printf("  raw socket  port %-5d  %s\n", emulator.SocketPort(), emulator.SocketResource().c_str());
    }
    if (emulator.Vxi11Port()) {
        // VISA resource strings cannot carry the core channel port: clients ask
        // the portmapper on 111, else they need to be told.
        std::printf("  VXI-11      port %-5d  %s", emulator.Vxi11Port(), emulator.Vxi11Resource().c_str());
        if (emulator.PortmapperPort() == kStandardPortmapperPort) {
            std::printf("\n");
        } else {
            std::printf("  needs ZENTRAVA_VXI11_PORT=%d (no portmapper on 111)\n", emulator.Vxi11Port());
        }
    }
    if (emulator.PortmapperPort()) std::printf("  portmapper  port %d\n", emulator.PortmapperPort());
    if (emulator.HislipPort()) {
        std::printf("  HiSLIP      port %-5d  %s\n", emulator.HislipPort(), emulator.HislipResource().c_str());
    }
    if (options.announce) std::printf("  mDNS        port 5353   announcing the services above\n");
    // A GPIB resource names its board, not its adapter: the client binds the board.
    if (emulator.PrologixPort()) {
        std::printf("  GPIB-ETHERNET port %-5d  %s with ZENTRAVA_GPIB0=%s\n", emulator.PrologixPort(),
                    emulator.GpibResource().c_str(), emulator.PrologixSocketResource().c_str());
    }
    if (!emulator.PrologixPtyPath().empty()) {
        std::printf("  GPIB-USB    %s  %s with ZENTRAVA_GPIB0=%s\n", emulator.PrologixPtyPath().c_str(),
                    emulator.GpibResource().c_str(), emulator.PrologixPtyResource().c_str());
    }
    std::fflush(stdout);
}

// Prints the received program messages until a stop signal arrives.
int EchoUntilSignal(Emulator& emulator, const sigset_t& stopSignals) {
    timespec interval{0, 100 * 1000 * 1000};
    std::size_t shown = 0;
    for (;;) {
        const int signal = sigtimedwait(&stopSignals, nullptr, &interval);
        std::vector<ReceivedMessage> received = emulator.Received();
        for (; shown < received.size(); ++shown) {
            static const char* const kChannels[] = {"socket", "vxi11", "hislip", "gpib"};
            const ReceivedMessage& m = received[shown];
            std::string text = m.bytes.size() > 200 ? m.bytes.substr(0, 200) + "..." : m.bytes;
            while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
            std::printf("[%s #%d] %s\n", kChannels[static_cast<int>(m.channel)], m.connection, text.c_str());
        }
        std::fflush(stdout);
        if (signal > 0) return signal;
        // Keep the record from growing without bound in long runs.
        if (received.size() > 100000) {
            emulator.ClearReceived();
            shown = 0;
        }
    }
}

}  // namespace

int RunProgram(const char* program, int argc, char** argv) {
    Parsed parsed;
    bool help = false;
    if (!Parse(program, argc, argv, &parsed, &help)) {
        Usage(stderr, program);
        return 2;
    }
    if (help) {
        Usage(stdout, program);
        return 0;
    }

    // Block the stop signals before any server thread exists, so that only
    // the waits below see them.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    Emulator emulator(parsed.options);
    std::string error;
    if (!emulator.Start(&error)) {
        std::fprintf(stderr, "%s: %s\n", program, error.c_str());
        return 1;
    }
    PrintInterfaces(parsed.options, emulator);

    int signal = 0;
    if (parsed.verbose) {
        signal = EchoUntilSignal(emulator, stopSignals);
    } else {
        sigwait(&stopSignals, &signal);
    }
    std::printf("ztv-emulator: stopping on signal %d\n", signal);
    emulator.Stop();
    return 0;
}

}  // namespace emulator
