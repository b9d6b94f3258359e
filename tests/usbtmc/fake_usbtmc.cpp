#include "tests/usbtmc/fake_usbtmc.h"

#include <fcntl.h>
#include <linux/usb/tmc.h>
#include <pthread.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <thread>

#include "tests/usbtmc/fake_sysfs.h"

namespace ztv::test {
namespace {

constexpr std::size_t kBufferSize = 4096;  // the driver's transfer buffer
constexpr std::size_t kHeaderSize = 12;
constexpr std::uint32_t kMinimumTimeoutMs = 100;
constexpr auto kPollSlice = std::chrono::milliseconds(5);

bool SignalsBlocked() {
    sigset_t mask;
    pthread_sigmask(SIG_BLOCK, nullptr, &mask);
    return sigismember(&mask, SIGINT) == 1;
}

// A DEV_DEP_MSG_IN transfer: header, then the data.
std::string InTransfer(std::uint8_t tag, const std::string& data, std::uint8_t attributes) {
    std::string transfer(kHeaderSize, '\0');
    transfer[0] = 2;
    transfer[1] = static_cast<char>(tag);
    transfer[2] = static_cast<char>(~tag);
    for (int i = 0; i < 4; ++i) transfer[4 + i] = static_cast<char>((data.size() >> (8 * i)) & 0xFF);
    transfer[8] = static_cast<char>(attributes);
    return transfer + data;
}

std::uint32_t Size(const std::string& header) {
    std::uint32_t size = 0;
    for (int i = 0; i < 4; ++i) size |= static_cast<std::uint32_t>(static_cast<std::uint8_t>(header[4 + i])) << (8 * i);
    return size;
}

}  // namespace

FakeUsbtmc::FakeUsbtmc(Responder responder, FakeUsbtmcOptions options)
    : responder_(std::move(responder)), options_(options), sys_(root_.path() / "sys"), dev_(root_.path() / "dev") {
    std::filesystem::create_directories(dev_);
    PlugBack();
    visa::SetUsbtmcHost(host());
}

FakeUsbtmc::~FakeUsbtmc() {
    visa::SetUsbtmcHost(std::nullopt);
    for (const auto& [fd, file] : files_) ::close(fd);
}

void FakeUsbtmc::PlugBack() {
    std::lock_guard lock(mutex_);
    // The kernel gives the next free minor; the old node may still be held open.
    node_ = "usbtmc" + std::to_string(plugs_++);
    AddSysfsInterface(sys_, {node_, "1-1", "0957", "1a07", "MY001", 0, node_});
    std::ofstream(dev_ / node_).put('\0');
    plugged_ = true;
    tag_ = 1;
    ResetDevice();
}

void FakeUsbtmc::Unplug() {
    std::lock_guard lock(mutex_);
    plugged_ = false;
    for (auto& [fd, file] : files_) file.zombie = true;
    ResetDevice();
    RemoveSysfsInterface(sys_, node_);
    std::filesystem::remove(dev_ / node_);
    changed_.notify_all();
}

void FakeUsbtmc::InvalidateOpenFiles() {
    std::lock_guard lock(mutex_);
    for (auto& [fd, file] : files_) file.invalid = true;
    changed_.notify_all();
}

void FakeUsbtmc::ResetDevice() {
    requests_.clear();
    replies_.clear();
    bulkIn_.clear();
    input_.clear();
    outHalted_ = false;
}

void FakeUsbtmc::DelayNextReply(std::chrono::milliseconds delay) {
    std::lock_guard lock(mutex_);
    delayNext_ = delay;
}

void FakeUsbtmc::DropNextReply() {
    std::lock_guard lock(mutex_);
    dropNext_ = true;
}

void FakeUsbtmc::CutNextReply() {
    std::lock_guard lock(mutex_);
    cutNext_ = true;
}

void FakeUsbtmc::InjectStrayReply(const std::string& text) {
    std::lock_guard lock(mutex_);
    bulkIn_.push_back(InTransfer(static_cast<std::uint8_t>(tag_ + 100), text, 0x01));
}

void FakeUsbtmc::InterruptNextRead() {
    std::lock_guard lock(mutex_);
    interruptNext_ = true;
}

void FakeUsbtmc::FailNextOpen(int err) {
    std::lock_guard lock(mutex_);
    failOpen_ = err;
}

void FakeUsbtmc::DelayControlRequests(std::chrono::milliseconds delay) {
    std::lock_guard lock(mutex_);
    controlDelay_ = delay;
}

void FakeUsbtmc::RequestService(std::uint8_t statusByte) {
    std::lock_guard lock(mutex_);
    if ((options_.capabilities & USBTMC488_CAPABILITY_SR1) == 0) return;
    for (auto& [fd, file] : files_) {
        file.srqAsserted = true;
        file.srqByte = statusByte | 0x40;
    }
    changed_.notify_all();
}

void FakeUsbtmc::SetStatusByte(std::function<std::uint8_t(bool)> source) {
    std::lock_guard lock(mutex_);
    statusByte_ = std::move(source);
}

std::vector<std::string> FakeUsbtmc::Messages() const {
    std::lock_guard lock(mutex_);
    return messages_;
}

std::vector<std::pair<std::string, bool>> FakeUsbtmc::Transfers() const {
    std::lock_guard lock(mutex_);
    return transfers_;
}

int FakeUsbtmc::Clears() const {
    std::lock_guard lock(mutex_);
    return clears_;
}

int FakeUsbtmc::Triggers() const {
    std::lock_guard lock(mutex_);
    return triggers_;
}

int FakeUsbtmc::Requests() const {
    std::lock_guard lock(mutex_);
    return requestCount_;
}

std::vector<std::uint32_t> FakeUsbtmc::Timeouts() const {
    std::lock_guard lock(mutex_);
    return timeouts_;
}

int FakeUsbtmc::Refusals() const {
    std::lock_guard lock(mutex_);
    return refusals_;
}

void FakeUsbtmc::Forget() {
    std::lock_guard lock(mutex_);
    messages_.clear();
    transfers_.clear();
    timeouts_.clear();
}

FakeUsbtmc::File* FakeUsbtmc::FileOf(int fd) {
    const auto it = files_.find(fd);
    return it == files_.end() ? nullptr : &it->second;
}

int FakeUsbtmc::Fail(File* file, int err) {
    if (file) file->failed = true;
    errno = err;
    return -1;
}

int FakeUsbtmc::Refuse() {
    ++refusals_;
    return Fail(nullptr, EINVAL);
}

std::uint8_t FakeUsbtmc::NextTag() {
    lastTag_ = tag_;
    if (++tag_ == 0) tag_ = 1;
    return lastTag_;
}

void FakeUsbtmc::Execute(const std::string& message) {
    messages_.push_back(message);
    std::optional<std::string> reply = responder_(message);
    if (!reply) return;
    if (dropNext_) {
        dropNext_ = false;
        return;
    }
    Reply queued{*reply + "\n", Clock::now() + delayNext_.value_or(std::chrono::milliseconds(0))};
    delayNext_.reset();
    if (cutNext_) {
        queued.bytes.resize(queued.bytes.size() / 2);
        queued.ends = false;
        cutNext_ = false;
    }
    replies_.push_back(std::move(queued));
    changed_.notify_all();
}

std::optional<FakeUsbtmc::Clock::time_point> FakeUsbtmc::Answer() {
    const auto now = Clock::now();
    while (!requests_.empty() && !replies_.empty()) {
        Reply& reply = replies_.front();
        if (reply.ready > now) return reply.ready;
        const Request request = requests_.front();
        requests_.pop_front();
        std::size_t size = std::min<std::size_t>(request.size, reply.bytes.size());
        std::uint8_t attributes = 0;
        if (request.termCharEnabled) {
            const std::size_t at = reply.bytes.find(static_cast<char>(request.termChar));
            if (at < size) {
                size = at + 1;
                attributes |= 0x02;
            }
        }
        const std::string data = reply.bytes.substr(0, size);
        reply.bytes.erase(0, size);
        if (reply.bytes.empty()) {
            if (reply.ends) attributes |= 0x01;
            replies_.pop_front();
        }
        bulkIn_.push_back(InTransfer(request.tag, data, attributes));
    }
    return std::nullopt;
}

std::string FakeUsbtmc::Take(std::size_t most) {
    std::string& front = bulkIn_.front();
    const std::string taken = front.substr(0, most);
    front.erase(0, taken.size());
    if (front.empty()) bulkIn_.pop_front();
    return taken;
}

int FakeUsbtmc::Open(const std::string& path, int /*flags*/) {
    std::lock_guard lock(mutex_);
    if (failOpen_ != 0) {
        const int err = failOpen_;
        failOpen_ = 0;
        return Fail(nullptr, err);
    }
    if (!plugged_ || path != (dev_ / node_).string()) return Fail(nullptr, ENOENT);
    const int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
    if (fd >= 0) files_[fd] = File{};
    return fd;
}

int FakeUsbtmc::Close(int fd) {
    std::lock_guard lock(mutex_);
    files_.erase(fd);
    return ::close(fd);
}

ssize_t FakeUsbtmc::Read(int fd, void* buffer, std::size_t count) {
    std::unique_lock lock(mutex_);
    File* file = FileOf(fd);
    if (!file) return Fail(nullptr, EBADF);
    if (file->zombie) return Fail(nullptr, ENODEV);
    if (outHalted_) return Fail(file, EPIPE);
    const std::uint8_t tag = NextTag();
    ++requestCount_;
    requests_.push_back({tag, static_cast<std::uint32_t>(count), file->termCharEnabled, file->termChar});
    const auto deadline = Clock::now() + std::chrono::milliseconds(file->timeoutMs);
    for (;;) {
        const auto next = Answer();
        if (!bulkIn_.empty()) break;
        if (file->zombie) return Fail(nullptr, ENODEV);
        if (Clock::now() >= deadline) return Fail(file, ETIMEDOUT);
        changed_.wait_until(lock, next ? std::min(*next, deadline) : deadline);
    }
    file->failed = false;
    const std::string first = Take(kBufferSize);
    // The driver's header checks: a mismatch drops the packet and reads nothing.
    if (first.size() < kHeaderSize || first[0] != 2 || static_cast<std::uint8_t>(first[1]) != tag) return 0;
    const std::uint32_t size = Size(first);
    if (size > count) return 0;
    file->attributes = static_cast<std::uint8_t>(first[8]);
    std::size_t got = std::min<std::size_t>(first.size() - kHeaderSize, size);
    std::memcpy(buffer, first.data() + kHeaderSize, got);
    if (first.size() == kBufferSize && got < size && !bulkIn_.empty()) {
        if (interruptNext_ && !SignalsBlocked()) {
            interruptNext_ = false;
            return Fail(nullptr, EINTR);
        }
        const std::string rest = Take(size - got);
        std::memcpy(static_cast<char*>(buffer) + got, rest.data(), rest.size());
        got += rest.size();
    }
    return static_cast<ssize_t>(got);
}

ssize_t FakeUsbtmc::Write(int fd, const void* data, std::size_t count) {
    std::lock_guard lock(mutex_);
    File* file = FileOf(fd);
    if (!file) return Fail(nullptr, EBADF);
    if (file->zombie) return Fail(nullptr, ENODEV);
    if (count == 0) return 0;
    if (outHalted_) return Fail(file, EPIPE);
    NextTag();
    const std::string bytes(static_cast<const char*>(data), count);
    transfers_.emplace_back(bytes, file->eom);
    input_ += bytes;
    if (file->eom) Execute(std::exchange(input_, std::string()));
    file->failed = false;
    return static_cast<ssize_t>(count);
}

int FakeUsbtmc::Ioctl(int fd, unsigned long request, void* argument) {
    std::lock_guard lock(mutex_);
    File* file = FileOf(fd);
    if (!file) return Fail(nullptr, EBADF);
    if (file->zombie) return Fail(nullptr, ENODEV);
    switch (request) {
        case USBTMC_IOCTL_SET_TIMEOUT: {
            const std::uint32_t value = *static_cast<std::uint32_t*>(argument);
            if (value < kMinimumTimeoutMs) return Refuse();
            file->timeoutMs = value;
            timeouts_.push_back(value);
            return 0;
        }
        case USBTMC_IOCTL_CONFIG_TERMCHAR: {
            const auto* setting = static_cast<const usbtmc_termchar*>(argument);
            if (setting->term_char_enabled > 1 || (setting->term_char_enabled && !options_.termCharCapable)) {
                return Refuse();
            }
            file->termChar = setting->term_char;
            file->termCharEnabled = setting->term_char_enabled != 0;
            return 0;
        }
        case USBTMC_IOCTL_EOM_ENABLE: {
            if (!options_.eomIoctl) break;
            const std::uint8_t value = *static_cast<std::uint8_t*>(argument);
            if (value > 1) return Refuse();
            file->eom = value != 0;
            return 0;
        }
        case USBTMC_IOCTL_MSG_IN_ATTR:
            *static_cast<std::uint8_t*>(argument) = file->attributes;
            return 0;
        case USBTMC488_IOCTL_GET_CAPS:
            *static_cast<unsigned char*>(argument) = options_.capabilities;
            return 0;
        case USBTMC_IOCTL_CLEAR:
            std::this_thread::sleep_for(controlDelay_);  // the driver holds its I/O lock meanwhile
            ++clears_;
            ResetDevice();
            return 0;
        case USBTMC488_IOCTL_READ_STB:
            std::this_thread::sleep_for(controlDelay_);
            if (file->srqAsserted) {
                file->srqAsserted = false;
                *static_cast<unsigned char*>(argument) = file->srqByte;
                return 0;
            }
            // A device without USB488 stalls the request.
            if (options_.capabilities == 0) return Fail(nullptr, EPIPE);
            *static_cast<unsigned char*>(argument) = statusByte_(!replies_.empty() || !bulkIn_.empty());
            return 0;
        case USBTMC488_IOCTL_TRIGGER:
            NextTag();
            if ((options_.capabilities & USBTMC488_CAPABILITY_TRIGGER) == 0) {
                outHalted_ = true;
                return Fail(file, EPIPE);
            }
            ++triggers_;
            return 0;
        default:
            break;
    }
    return Fail(nullptr, EBADRQC);
}

int FakeUsbtmc::Poll(pollfd* entries, nfds_t count, int timeoutMs) {
    const auto deadline =
        timeoutMs < 0 ? Clock::time_point::max() : Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        int ready = 0;
        for (nfds_t i = 0; i < count; ++i) {
            pollfd& entry = entries[i];
            entry.revents = 0;
            std::unique_lock lock(mutex_);
            if (const File* file = FileOf(entry.fd)) {
                if (file->invalid) {
                    entry.revents = POLLNVAL;
                } else if (file->zombie) {
                    entry.revents = POLLHUP | POLLERR;
                } else {
                    if (file->srqAsserted) entry.revents |= static_cast<short>(entry.events & POLLPRI);
                    if (file->failed) entry.revents |= POLLERR;
                    entry.revents |= static_cast<short>(entry.events & POLLOUT);
                }
            } else {
                lock.unlock();
                if (::poll(&entry, 1, 0) < 0) return -1;
            }
            if (entry.revents != 0) ++ready;
        }
        if (ready > 0 || Clock::now() >= deadline) return ready;
        std::unique_lock lock(mutex_);
        changed_.wait_until(lock, std::min(deadline, Clock::now() + kPollSlice));
    }
}

}  // namespace ztv::test
