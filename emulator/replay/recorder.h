#pragma once

#include <mutex>
#include <string>
#include <vector>

namespace emulator {

enum class Channel { Socket, Vxi11, Hislip, Gpib };

// One program message as it arrived: the bytes exactly (terminator
// included when the client sent one) and where from.
struct ReceivedMessage {
    Channel channel = Channel::Socket;
    int connection = 0;  // numbered per emulator in accept order
    std::string bytes;
};

class Recorder {
public:
    void Add(Channel channel, int connection, std::string bytes);
    std::vector<ReceivedMessage> All() const;
    void Clear();

private:
    mutable std::mutex mutex_;
    std::vector<ReceivedMessage> messages_;
};

}  // namespace emulator
