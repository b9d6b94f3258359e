#include "emulator/replay/recorder.h"

namespace emulator {

void Recorder::Add(Channel channel, int connection, std::string bytes) {
    std::lock_guard<std::mutex> lock(mutex_);
    messages_.push_back({channel, connection, std::move(bytes)});
}

std::vector<ReceivedMessage> Recorder::All() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return messages_;
}

void Recorder::Clear() {
    std::lock_guard<std::mutex> lock(mutex_);
    messages_.clear();
}

}  // namespace emulator
