// One USBTMC instrument behind a model of the Linux usbtmc driver, in the
// kernel's place under the transport: per open file it keeps what the
// kernel keeps (time-out, termination character, EOM setting, the attributes
// of the last valid reply, the latched service request, the error after a
// failed transfer) and answers read(), write(), ioctl() and poll() as the
// driver does:
// - each read() sends one request for at most the count asked, and takes one
//   transfer of the reply (4 KiB at a time, the rest only if it belongs);
// - a reply whose header or tag does not match the request is dropped with
//   0 returned, and the attributes stay as they were;
// - a time-out leaves the request queued in the device, which answers it
//   when its reply is ready;
// - SET_TIMEOUT refuses less than 100 ms, CONFIG_TERMCHAR an enabled
//   character on devices that cannot stop at one;
// - a service request is latched per file (POLLPRI) until READ_STB returns it;
// - POLLERR after a failed transfer, POLLHUP|POLLERR after an unplug.
// The device node is a plain file under a temporary /dev, so that flock works
// as on the real one; the sysfs tree beside it names the device.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/visa/transport/usb/usbtmc_system.h"
#include "tests/support/test_support.h"

namespace ztv::test {

struct FakeUsbtmcOptions {
    bool termCharCapable = true;
    // As USBTMC488_IOCTL_GET_CAPS reports them: trigger, 488.2, SR1 by default.
    unsigned char capabilities = 0x01 | 0x04 | 0x40;
    bool eomIoctl = true;  // false: a kernel before 4.20
};

// A device with USBTMC alone (no USB488, no termination character) on a
// kernel before 4.20 (no EOM_ENABLE).
inline FakeUsbtmcOptions PlainUsbtmc() {
    FakeUsbtmcOptions options;
    options.capabilities = 0;
    options.termCharCapable = false;
    options.eomIoctl = false;
    return options;
}

// Answers a complete program message; nothing when it held no query.
using Responder = std::function<std::optional<std::string>(const std::string& message)>;

class FakeUsbtmc final : public visa::UsbtmcSystem {
public:
    using Clock = std::chrono::steady_clock;

    // Puts itself in the kernel's place for OpenTransport until destroyed.
    FakeUsbtmc(Responder responder, FakeUsbtmcOptions options = {});
    ~FakeUsbtmc() override;

    static constexpr const char* kResource = "USB0::0x0957::0x1A07::MY001::INSTR";
    visa::UsbtmcHost host() { return {this, sys_.string(), dev_.string()}; }

    // Faults, each for the next reply.
    void DelayNextReply(std::chrono::milliseconds delay);
    void DropNextReply();
    void CutNextReply();  // its first half arrives without END, the rest never
    // A reply to a request nobody made waits at the head of the bulk-in queue.
    void InjectStrayReply(const std::string& text);
    // The next read() is interrupted by a signal after its first packet,
    // unless the calling thread holds signals back.
    void InterruptNextRead();
    void FailNextOpen(int err);
    // CLEAR and READ_STB take this long on the control pipe.
    void DelayControlRequests(std::chrono::milliseconds delay);

    // poll() finds the open files closed (POLLNVAL), as after a close behind the caller's back.
    void InvalidateOpenFiles();
    void Unplug();
    void PlugBack();
    // An SRQ notification on the interrupt-IN endpoint.
    void RequestService(std::uint8_t statusByte);
    // What READ_STB answers without a latched request; `messageAvailable`: a reply waits.
    void SetStatusByte(std::function<std::uint8_t(bool messageAvailable)> source);

    // Complete messages the device received (END seen), and every bulk-out
    // transfer with its EOM bit.
    std::vector<std::string> Messages() const;
    std::vector<std::pair<std::string, bool>> Transfers() const;
    int Clears() const;
    int Triggers() const;
    // read() calls, each a request for a reply.
    int Requests() const;
    // Time-outs the open file was given, in order.
    std::vector<std::uint32_t> Timeouts() const;
    // Settings the driver refused with EINVAL.
    int Refusals() const;
    void Forget();

    // The kernel's side.
    int Open(const std::string& path, int flags) override;
    int Close(int fd) override;
    ssize_t Read(int fd, void* buffer, std::size_t count) override;
    ssize_t Write(int fd, const void* data, std::size_t count) override;
    int Ioctl(int fd, unsigned long request, void* argument) override;
    int Poll(pollfd* entries, nfds_t count, int timeoutMs) override;

private:
    struct File {
        std::uint32_t timeoutMs = 5000;
        std::uint8_t termChar = '\n';
        bool termCharEnabled = false;
        bool eom = true;
        std::uint8_t attributes = 0;
        bool srqAsserted = false;
        std::uint8_t srqByte = 0;
        bool failed = false;
        bool zombie = false;
        bool invalid = false;
    };
    struct Request {
        std::uint8_t tag;
        std::uint32_t size;
        bool termCharEnabled;
        std::uint8_t termChar;
    };
    struct Reply {
        std::string bytes;
        Clock::time_point ready;
        bool ends = true;
    };

    File* FileOf(int fd);
    int Fail(File* file, int err);
    int Refuse();
    void Execute(const std::string& message);
    // Answers queued requests with replies that are ready; returns when the next one will be.
    std::optional<Clock::time_point> Answer();
    std::string Take(std::size_t most);
    std::uint8_t NextTag();
    void ResetDevice();

    Responder responder_;
    FakeUsbtmcOptions options_;
    TempDir root_;
    std::filesystem::path sys_, dev_;

    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::map<int, File> files_;
    bool plugged_ = true;
    std::string node_;
    int plugs_ = 0;
    std::uint8_t tag_ = 1;
    std::uint8_t lastTag_ = 0;
    std::deque<Request> requests_;
    std::deque<Reply> replies_;
    std::deque<std::string> bulkIn_;  // transfers sent, as the host controller holds them
    std::string input_;
    bool outHalted_ = false;
    std::function<std::uint8_t(bool)> statusByte_ = [](bool) { return std::uint8_t{0}; };

    std::optional<std::chrono::milliseconds> delayNext_;
    bool dropNext_ = false, cutNext_ = false, interruptNext_ = false;
    int failOpen_ = 0;
    std::chrono::milliseconds controlDelay_{0};

    std::vector<std::string> messages_;
    std::vector<std::pair<std::string, bool>> transfers_;
    std::vector<std::uint32_t> timeouts_;
    int clears_ = 0, triggers_ = 0, refusals_ = 0, requestCount_ = 0;
};

}  // namespace ztv::test
