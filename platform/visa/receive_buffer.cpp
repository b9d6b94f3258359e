#include "platform/visa/receive_buffer.h"

#include <algorithm>
#include <cstring>

namespace visa {

void ReceiveBuffer::clear() {
    bytes_.clear();
    begin_ = 0;
}

std::uint8_t* ReceiveBuffer::Reserve(std::size_t size) {
    if (empty()) {
        clear();
    } else if (begin_ >= bytes_.size() / 2) {
        bytes_.erase(bytes_.begin(), bytes_.begin() + static_cast<std::ptrdiff_t>(begin_));
        begin_ = 0;
    }
    const std::size_t used = bytes_.size();
    bytes_.resize(used + size);
    reservedLeft_ = size;
    return bytes_.data() + used;
}

void ReceiveBuffer::Commit(std::size_t size) {
    bytes_.resize(bytes_.size() - reservedLeft_ + size);
    reservedLeft_ = 0;
}

bool ReceiveBuffer::Take(const ReadRequest& request, std::size_t* filled, std::size_t limit) {
    std::size_t size = std::min({bytes_.size() - begin_, request.count - *filled, limit});
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

}  // namespace visa
