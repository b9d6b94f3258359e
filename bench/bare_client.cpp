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

bool BareClient::ReceiveLine(std::string* reply) {
    reply->swap(pending_);
    pending_.clear();
    std::size_t searched = 0;
    for (;;) {
        if (const void* end = std::memchr(reply->data() + searched, '\n', reply->size() - searched)) {
            const std::size_t length = static_cast<std::size_t>(static_cast<const char*>(end) - reply->data()) + 1;
            pending_.assign(*reply, length);
            reply->resize(length);
            return true;
        }
        searched = reply->size();
        reply->resize(searched + 65536);
        const ssize_t got = ::recv(fd_, reply->data() + searched, 65536, 0);
        if (got <= 0) return false;
        reply->resize(searched + static_cast<std::size_t>(got));
    }
}

}  // namespace bench
