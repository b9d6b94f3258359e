// Bytes received ahead of what a read asked for, kept for the next read.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/visa/transport/transport.h"

namespace visa {

class ReceiveBuffer {
public:
    bool empty() const { return begin_ == end_; }
    std::size_t size() const { return end_ - begin_; }
    const std::uint8_t* data() const { return bytes_.data() + begin_; }
    void Consume(std::size_t size) { begin_ += size; }
    void clear() { begin_ = end_ = 0; }

    // Space for up to `size` new bytes at the back; Commit says how many arrived.
    std::uint8_t* Reserve(std::size_t size);
    void Commit(std::size_t size) { end_ += size; }
    // Appends what has arrived on `fd`, at least one byte and at most `chunk`.
    Status ReadFrom(int fd, std::size_t chunk, Deadline deadline, const std::string& peer);

    // Moves buffered bytes into the request's buffer from `*filled` on,
    // stopping after the termination character when it is enabled. Returns
    // true when the termination character ended the transfer. At most
    // `limit` bytes are taken.
    bool Take(const ReadRequest& request, std::size_t* filled, std::size_t limit = SIZE_MAX);
    // Take for a stream read, then whether the read is over: the termination
    // character was stored (`*end` becomes TermChar) or the request is full.
    bool Completes(const ReadRequest& request, std::size_t* filled, ReadEnd* end);

private:
    // Sized once and reused: growing it per receive would clear it each time.
    std::vector<std::uint8_t> bytes_;
    std::size_t begin_ = 0;
    std::size_t end_ = 0;
};

}  // namespace visa
