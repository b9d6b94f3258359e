// A TCP relay on loopback between the driver and the emulator that spoils
// what comes back from the instrument on request, the way a real network or
// a crashing instrument does. Each fault hits one reply (one burst of bytes
// from the instrument) on whichever connection sends it first.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <list>
#include <mutex>
#include <string>
#include <thread>

namespace ztv::test {

enum class ProxyFault {
    None,
    Delay,             // the reply comes, but `delay` later
    NoReply,           // the reply is dropped
    CloseMidReply,     // half the reply, then both connections close
    ResetBeforeReply,  // the client's connection is reset instead
    Garbage,           // the reply's bytes are replaced by garbage
    Truncate,          // only the first half of the reply arrives
};

class FaultProxy {
public:
    explicit FaultProxy(std::uint16_t target);
    ~FaultProxy();
    FaultProxy(const FaultProxy&) = delete;
    FaultProxy& operator=(const FaultProxy&) = delete;

    std::uint16_t port() const { return port_; }

    // Spoils the reply after the next `pass` ones.
    void Arm(ProxyFault fault, int pass = 0, std::chrono::milliseconds delay = {});
    // The server is gone: every connection closes and new ones are refused
    // until it comes back on the same port.
    void GoAway();
    void ComeBack();

private:
    struct Held {
        std::chrono::steady_clock::time_point due;
        std::string bytes;
    };
    struct Pair {
        int client = -1;
        int server = -1;
        std::deque<Held> held;  // replies on their way, in order
    };

    void Run();
    void Listen();
    void Accept();
    // False when the pair is finished.
    bool FromClient(Pair& pair);
    bool FromServer(Pair& pair);
    bool Release(Pair& pair);
    static void Close(Pair& pair, bool reset);
    void Wake();

    std::uint16_t target_;
    std::uint16_t port_ = 0;
    int listener_ = -1;
    int wake_ = -1;

    std::mutex mutex_;
    std::condition_variable applied_;
    ProxyFault fault_ = ProxyFault::None;
    int pass_ = 0;
    std::chrono::milliseconds delay_{0};
    bool wantListening_ = true;
    bool listening_ = true;
    bool stop_ = false;

    std::list<Pair> pairs_;  // only the relay thread touches these
    std::thread thread_;
};

}  // namespace ztv::test
