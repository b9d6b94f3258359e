#pragma once

#include <chrono>
#include <cstddef>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace emulator {

// A recording of a session with an instrument (the JSON lines the driver
// writes with DriverSetup Record=PATH), served back to a client: each
// program message that matches the next unanswered recorded one gets the
// recorded reply, bytes for bytes, after the recorded delay.
class Replay {
public:
    // Reads and checks the whole file. A damaged one gives nothing, with
    // `error` naming the line and why.
    static std::unique_ptr<Replay> Load(const std::string& path, double speed, std::string* error);

    struct Answer {
        bool recorded = false;             // false: not in the recording at all
        std::optional<std::string> reply;  // without the terminator the transports add
        std::chrono::microseconds delay{0};
        bool runLocally = false;  // common commands whose status effects the instrument plays
    };
    // The answer to one program message (terminator removed).
    Answer Next(std::string_view message);
    // The status byte the recording read next, if a status-byte read is due.
    std::optional<int> NextStatusByte();
    // A device clear or trigger arrived: recorded ones in its place are passed.
    void Pass(const char* event);
    // What the next recorded exchange is, for a log line.
    std::string Expected() const;

private:
    struct Item {
        std::string event;  // write, stb, srq, clear or trigger
        std::string message;
        std::optional<std::string> reply;
        std::chrono::microseconds delay{0};
        int value = 0;
        int line = 0;
    };
    class Loader;
    static bool IsPoll(std::string_view message);

    std::vector<Item> items_;
    std::size_t next_ = 0;
    double speed_ = 1;
    std::map<std::string, std::string, std::less<>> lastPollReply_;
    mutable std::mutex mutex_;
};

}  // namespace emulator
