#include "emulator/servers/message_framer.h"

namespace emulator {

std::optional<std::string> MessageFramer::Next() {
    while (start_ + scanned_ < buffer_.size()) {
        unsigned char byte = static_cast<unsigned char>(buffer_[start_ + scanned_]);
        ++scanned_;
        if (scanner_.Feed(byte) == scpi::Scanner::Kind::Syntax && byte == '\n') {
            std::string message = buffer_.substr(start_, scanned_);
            start_ += scanned_;
            scanned_ = 0;
            scanner_ = scpi::Scanner();
            // Drop consumed bytes once they dominate the buffer.
            if (start_ > 65536 && start_ * 2 > buffer_.size()) {
                buffer_.erase(0, start_);
                start_ = 0;
            }
            return message;
        }
    }
    return std::nullopt;
}

}  // namespace emulator
