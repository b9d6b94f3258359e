#include "emulator/servers/prologix_front.h"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <map>
#include <optional>
#include <sstream>
#include <vector>

#include "emulator/servers/message_framer.h"

namespace emulator {

namespace {

using Clock = std::chrono::steady_clock;

constexpr char kEscape = 27;
constexpr int kWakeMs = 100;  // how often a wait looks at the stop conditions

// Sockets must not raise SIGPIPE; a pseudo-terminal is no socket.
bool WriteBytes(int fd, const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = send(fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
        if (n < 0 && errno == ENOTSOCK) n = write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

std::vector<int> Numbers(const std::string& text) {
    std::istringstream in(text);
    std::vector<int> numbers;
    for (int n; in >> n;) numbers.push_back(n);
    return numbers;
}

// One host connection: the adapter's settings and the instrument's side of the bus.
class Session {
public:
    Session(Instrument& instrument, Recorder& recorder, const PrologixFrontOptions& options, int fd, int connection,
            const std::function<bool()>& stop)
        : instrument_(instrument),
          recorder_(recorder),
          options_(options),
          fd_(fd),
          connection_(connection),
          stop_(stop) {}

    // Handles what the host sent; false when the connection is to be closed.
    bool Feed(const char* data, std::size_t size) {
        input_.assign(data, size);
        for (position_ = 0; position_ < input_.size();) {
            const char c = input_[position_++];
            if (escaped_) {
                line_.push_back(c);
                escaped_ = false;
            } else if (c == kEscape) {
                escaped_ = true;
            } else if (c == '\r' || c == '\n') {
                const bool command = plainPluses_ >= 2;
                std::string line;
                line.swap(line_);
                plainPluses_ = 0;
                if (!(command ? Command(line.substr(2)) : line.empty() || Data(std::move(line)))) return false;
            } else {
                if (c == '+' && line_.size() == plainPluses_) ++plainPluses_;
                line_.push_back(c);
            }
        }
        return true;
    }

private:
    bool Listens(int primary, int secondary) const { return primary == options_.gpibAddress && secondary < 0; }
    bool Addressed() const { return Listens(primary_, secondary_); }

    bool Reply(const std::string& text) { return WriteBytes(fd_, text + "\r\n"); }

    bool Data(std::string bytes) {
        static const char* const kEos[] = {"\r\n", "\r", "\n", ""};
        bytes += kEos[std::clamp(eos_, 0, 3)];
        if (mode_ != 1 || !Addressed()) return true;  // not the controller, or nobody listens
        framer_.Append(bytes.data(), bytes.size());
        // EOI ends a program message as a line feed does.
        if (eoi_ && !bytes.empty() && bytes.back() != '\n') framer_.Append("\n", 1);
        while (std::optional<std::string> message = framer_.Next()) {
            if (!Execute(std::move(*message))) return false;
        }
        return !autoRead_ || Read(std::nullopt);
    }

    bool Execute(std::string message) {
        recorder_.Add(Channel::Gpib, connection_, message);
        Faults& faults = instrument_.faults();
        if (faults.TakeDropOnMessage()) return false;
        std::optional<std::string> reply = instrument_.Execute(message);
        if (!reply) return true;
        ReplyPlan plan = faults.PlanReply(*reply + "\n");
        if (!plan.send) return true;
        output_ += plan.bytes;
        availableAt_ = Clock::now() + plan.delay;
        closeAfter_ = plan.closeAfter;
        return true;
    }

    // Forwards the addressed instrument's reply up to EOI (or `until`); gives
    // up after the read time-out or as soon as the host sends anything.
    bool Read(std::optional<char> until) {
        const Clock::time_point giveUp = Clock::now() + std::chrono::milliseconds(readTimeoutMs_);
        for (;;) {
            if (instrument_.halted() || stop_()) return false;
            const Clock::time_point now = Clock::now();
            if (Addressed() && !output_.empty() && now >= availableAt_) {
                std::size_t size = output_.size();
                if (until) size = std::min(size, output_.find(*until) + 1);
                std::string bytes = output_.substr(0, size);
                output_.erase(0, size);
                if (eotEnable_ && output_.empty()) bytes.push_back(static_cast<char>(eotChar_));
                return WriteBytes(fd_, bytes) && !(closeAfter_ && output_.empty());
            }
            if (now >= giveUp || position_ < input_.size()) return true;
            Clock::time_point wake = giveUp;
            if (Addressed() && !output_.empty()) wake = std::min(wake, availableAt_);
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(wake - now).count();
            pollfd entry{fd_, POLLIN, 0};
            if (poll(&entry, 1, static_cast<int>(std::clamp<long long>(left, 1, kWakeMs))) > 0) return true;
        }
    }

    std::optional<std::uint8_t> StatusByteAt(const std::vector<int>& address) {
        const int primary = address.empty() ? primary_ : address[0];
        const int secondary = address.size() > 1 ? address[1] - 96 : address.empty() ? secondary_ : -1;
        if (!Listens(primary, secondary)) return std::nullopt;
        return instrument_.ReadStatusByte(!output_.empty());
    }

    bool Command(const std::string& text) {
        const std::size_t blank = text.find(' ');
        const std::string name = text.substr(0, blank);
        const std::string arguments = blank == std::string::npos ? "" : text.substr(blank + 1);
        const std::vector<int> numbers = Numbers(arguments);
        std::map<std::string, int*> settings = {{"mode", &mode_},
                                                {"auto", &autoRead_},
                                                {"eos", &eos_},
                                                {"eoi", &eoi_},
                                                {"eot_enable", &eotEnable_},
                                                {"eot_char", &eotChar_},
                                                {"read_tmo_ms", &readTimeoutMs_},
                                                {"savecfg", &saveConfig_}};
        if (auto setting = settings.find(name); setting != settings.end()) {
            if (numbers.empty()) return Reply(std::to_string(*setting->second));
            *setting->second = numbers[0];
            return true;
        }
        if (name == "ver") return Reply(options_.version);
        if (name == "addr") {
            if (numbers.empty()) {
                return Reply(std::to_string(primary_) + (secondary_ >= 0 ? " " + std::to_string(secondary_ + 96) : ""));
            }
            primary_ = numbers[0];
            secondary_ = numbers.size() > 1 ? numbers[1] - 96 : -1;
            return true;
        }
        if (name == "read") {
            if (arguments.empty() || arguments == "eoi") return Read(std::nullopt);
            return Read(static_cast<char>(std::atoi(arguments.c_str())));
        }
        if (name == "clr") {
            if (Addressed()) {
                instrument_.DeviceClear();
                output_.clear();
                framer_ = MessageFramer();
            }
            return true;
        }
        if (name == "spoll") {
            const std::optional<std::uint8_t> status = StatusByteAt(numbers);
            return !status || Reply(std::to_string(*status));
        }
        if (name == "srq") {
            const bool requested = (instrument_.ReadStatusByte(!output_.empty()) & kServiceRequest) != 0;
            return Reply(requested ? "1" : "0");
        }
        if (name == "trg") {
            if (StatusByteAt(numbers)) instrument_.Execute("*TRG\n");
            return true;
        }
        return true;  // ++ifc, ++loc, ++llo, ++rst and the rest: nothing the instrument notices
    }

    Instrument& instrument_;
    Recorder& recorder_;
    const PrologixFrontOptions& options_;
    const int fd_;
    const int connection_;
    const std::function<bool()>& stop_;

    std::string input_;
    std::size_t position_ = 0;
    std::string line_;
    std::size_t plainPluses_ = 0;  // unescaped '+' starting the line: two make a command
    bool escaped_ = false;

    int mode_ = 1;
    int primary_ = 10;
    int secondary_ = -1;
    int autoRead_ = 0;
    int eos_ = 0;
    int eoi_ = 1;
    int eotEnable_ = 0;
    int eotChar_ = 0;
    int readTimeoutMs_ = 1200;
    int saveConfig_ = 1;

    MessageFramer framer_;
    std::string output_;  // the instrument's output queue
    Clock::time_point availableAt_{};
    bool closeAfter_ = false;
};

}  // namespace

bool PrologixFront::Serve(int fd, int connection, const std::function<bool()>& stop) {
    Session session(instrument_, recorder_, options_, fd, connection, stop);
    char buffer[4096];
    for (;;) {
        if (instrument_.halted() || stop()) return true;
        pollfd entry{fd, POLLIN, 0};
        if (poll(&entry, 1, kWakeMs) <= 0) continue;
        const ssize_t n = read(fd, buffer, sizeof buffer);
        if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
        if (n <= 0) return true;
        transcript_.Append(buffer, static_cast<std::size_t>(n));
        if (!session.Feed(buffer, static_cast<std::size_t>(n))) return false;
    }
}

}  // namespace emulator
