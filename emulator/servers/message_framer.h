#pragma once

#include <cstddef>
#include <optional>
#include <string>

#include "emulator/instrument/scpi_parser.h"

namespace emulator {

// Cuts a byte stream into program messages at line feeds that are not part
// of a string or block parameter, so binary blocks may carry any byte.
class MessageFramer {
public:
    void Append(const char* data, std::size_t size) { buffer_.append(data, size); }
    // The next complete message including its line feed.
    std::optional<std::string> Next();
    std::size_t Buffered() const { return buffer_.size() - start_; }

private:
    std::string buffer_;
    std::size_t start_ = 0;    // first byte of the current message
    std::size_t scanned_ = 0;  // bytes of the current message already fed to the scanner
    scpi::Scanner scanner_;
};

}  // namespace emulator
