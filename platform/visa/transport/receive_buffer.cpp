#include "platform/visa/transport/receive_buffer.h"

#include <algorithm>
#include <cstring>

#include "platform/visa/transport/fd_io.h"

namespace visa {

std::uint8_t* ReceiveBuffer::Reserve(std::size_t size) {
    if (empty()) {
        clear();
    } else if (begin_ > 0 && end_ + size > bytes_.size()) {
        std::memmove(bytes_.data(), bytes_.data() + begin_, end_ - begin_);
        end_ -= begin_;
        begin_ = 0;
    }
    if (end_ + size > bytes_.size()) bytes_.resize(end_ + size);
    return bytes_.data() + end_;
}

Status ReceiveBuffer::ReadFrom(int fd, std::size_t chunk, Deadline deadline, const std::string& peer) {
    std::size_t got = 0;
    Status status = ReadSome(fd, Reserve(chunk), chunk, deadline, peer, &got);
    Commit(got);
    return status;
}

bool ReceiveBuffer::Take(const ReadRequest& request, std::size_t* filled, std::size_t limit) {
    std::size_t size = std::min({end_ - begin_, request.count - *filled, limit});
    const std::uint8_t* from = bytes_.data() + begin_;
    bool hitTermChar = false;
    if (request.termCharEnabled && size > 0) {
        if (const void* at = std::memchr(from, request.termChar, size)) {
            size = static_cast<std::size_t>(static_cast<const std::uint8_t*>(at) - from) + 1;
            hitTermChar = true;
        }
    }
    if (size > 0) std::memcpy(request.buffer + *filled, from, size);
    *filled += size;
    begin_ += size;
    return hitTermChar;
}

bool ReceiveBuffer::Completes(const ReadRequest& request, std::size_t* filled, ReadEnd* end) {
    if (Take(request, filled)) {
        *end = ReadEnd::TermChar;
        return true;
    }
    return *filled == request.count;
}

}  // namespace visa
