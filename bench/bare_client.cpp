#include "bench/bare_client.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>

namespace bench {

BareClient::BareClient(const std::string& host, int port) {
    fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd_ < 0) return;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    const int on = 1;
    ::setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);  // as the driver's transports do
    if (::inet_pton(AF_INET, host.c_str(), &address.sin_addr) != 1 ||
        ::connect(fd_, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        ::close(fd_);
        fd_ = -1;
    }
}

BareClient::~BareClient() {
    if (fd_ >= 0) ::close(fd_);
}

bool BareClient::Send(std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t sent = ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (sent <= 0) return false;
        bytes.remove_prefix(static_cast<std::size_t>(sent));
    }
    return true;
}

bool BareClient::ReceiveLine(std::string_view* reply) {
    constexpr std::size_t kLeastRoom = 65536;
    // What came after the last reply moves to the front.
    if (begin_ > 0) {
        std::memmove(buffer_.data(), buffer_.data() + begin_, end_ - begin_);
        end_ -= begin_;
        begin_ = 0;
    }
    std::size_t searched = 0;
    for (;;) {
        if (const void* at = std::memchr(buffer_.data() + searched, '\n', end_ - searched)) {
            begin_ = static_cast<std::size_t>(static_cast<const char*>(at) - buffer_.data()) + 1;
            *reply = std::string_view(buffer_.data(), begin_);
            return true;
        }
        searched = end_;
        if (buffer_.size() - end_ < kLeastRoom) buffer_.resize(2 * buffer_.size() + kLeastRoom);
        const ssize_t got = ::recv(fd_, buffer_.data() + end_, buffer_.size() - end_, 0);
        if (got <= 0) return false;
        end_ += static_cast<std::size_t>(got);
    }
}

}  // namespace bench
