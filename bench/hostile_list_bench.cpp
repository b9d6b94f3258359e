// What a trace reply costs the process's peak memory through the C face,
// against a raw-socket instrument on loopback that answers the data query
// with the reply under test:
//   hostile: 200 MB of "0," with no end, read into an array with room for
//            more than the driver's value limit: refused at the limit,
//            holding at most one copy of what it keeps (goal: peak growth
//            <= 150 MB);
//   hostile, small array: the same reply into an array of 1000, whose
//            values beyond it are only counted (goal: <= 8 MB);
//   small:   a valid list of 4 M values read into an array of 1000
//            (goal: <= 8 MB, a quarter of storing them).
// Peak growth is VmHWM after the read less VmRSS before it, with the peak
// reset through /proc/self/clear_refs.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "zentrava/Zentrava.h"

namespace {

// One connection: "*IDN?" names the instrument, the data query gets `items`
// "0," items (and a final "0\n" when `terminated`), other queries "0".
class ListInstrument {
public:
    ListInstrument(std::size_t items, bool terminated) : items_(items), terminated_(terminated) {
        listener_ = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof address;
        if (bind(listener_, reinterpret_cast<sockaddr*>(&address), size) != 0 || listen(listener_, 1) != 0 ||
            getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
            std::perror("listen");
            std::exit(1);
        }
        port_ = ntohs(address.sin_port);
        thread_ = std::thread([this] { Serve(); });
    }
    ~ListInstrument() {
        shutdown(listener_, SHUT_RDWR);
        thread_.join();
        close(listener_);
    }
    std::string Resource() const { return "TCPIP::127.0.0.1::" + std::to_string(port_) + "::SOCKET"; }

private:
    void Serve() {
        const int fd = accept(listener_, nullptr, nullptr);
        if (fd < 0) return;
        std::string pending;
        char buffer[4096];
        for (ssize_t got; (got = recv(fd, buffer, sizeof buffer, 0)) > 0;) {
            pending.append(buffer, static_cast<std::size_t>(got));
            for (std::size_t end; (end = pending.find('\n')) != std::string::npos; pending.erase(0, end + 1)) {
                const std::string line = pending.substr(0, end);
                if (line == "*IDN?")
                    Send(fd, "Zentrava,Q7310B,1,1.0\n");
                else if (line.ends_with("FDAT?"))
                    SendList(fd);
                else if (line.ends_with("?"))
                    Send(fd, "0\n");
            }
        }
        close(fd);
    }
    void SendList(int fd) {
        const std::string chunk = [] {
            std::string text;
            for (int i = 0; i < 32768; ++i) text += "0,";
            return text;
        }();
        for (std::size_t sent = 0; sent < items_; sent += 32768) {
            if (!Send(fd, chunk)) return;
        }
        if (terminated_) Send(fd, "0\n");
    }
    static bool Send(int fd, const std::string& text) {
        return send(fd, text.data(), text.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(text.size());
    }

    std::size_t items_;
    bool terminated_;
    int listener_ = -1;
    unsigned short port_ = 0;
    std::thread thread_;
};

long StatusKiB(const char* key) {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind(key, 0) == 0) return std::atol(line.c_str() + std::strlen(key));
    }
    return -1;
}

// Peak growth in MiB of one trace read into a caller's array of `capacity`.
double PeakGrowthMiB(std::size_t items, bool terminated, std::size_t capacity, ViInt32* actual, ViStatus* status) {
    ListInstrument instrument(items, terminated);
    std::string resource = instrument.Resource();
    ViSession vi = VI_NULL;
    if (Ztv_InitWithOptions(resource.data(), VI_FALSE, VI_FALSE, "QueryInstrStatus=false", &vi) < 0) {
        std::fprintf(stderr, "cannot open %s\n", resource.c_str());
        std::exit(1);
    }
    std::vector<ViReal64> data(capacity);
    std::ofstream("/proc/self/clear_refs") << "5";
    const long before = StatusKiB("VmRSS:");
    *status = Ztv_Get_FormattedData(vi, "Measurement1", static_cast<ViInt32>(capacity), data.data(), actual);
    const long peak = StatusKiB("VmHWM:");
    Ztv_close(vi);
    return static_cast<double>(peak - before) / 1024.0;
}

bool Row(const char* name, double growth, double goal, const char* outcome) {
    const bool met = growth <= goal;
    std::printf("%-18s peak growth %7.1f MiB (goal <= %5.1f MiB) %-28s %s\n", name, growth, goal, outcome,
                met ? "met" : "MISSED");
    return met;
}

}  // namespace

int main() {
    ViInt32 actual = 0;
    ViStatus status = 0;
    constexpr std::size_t kBeyondTheLimit = (std::size_t{16} << 20) + 1;
    const double hostile = PeakGrowthMiB(100'000'000, false, kBeyondTheLimit, &actual, &status);
    bool met = Row("hostile", hostile, 150, status < 0 ? "(refused)" : "(NOT refused)");
    const double hostileSmall = PeakGrowthMiB(100'000'000, false, 1000, &actual, &status);
    met = Row("hostile into 1000", hostileSmall, 8, status < 0 ? "(refused)" : "(NOT refused)") && met;
    const double small = PeakGrowthMiB(4 << 20, true, 1000, &actual, &status);
    const std::string counted = "(" + std::to_string(actual) + " values counted)";
    met = Row("small", small, 8, counted.c_str()) && met;
    return met ? 0 : 1;
}
