#include "tests/io/fault_proxy.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <vector>

namespace ztv::test {
namespace {

using Clock = std::chrono::steady_clock;

sockaddr_in Loopback(std::uint16_t port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    return address;
}

bool SendAll(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t sent = ::send(fd, data, size, MSG_NOSIGNAL);
        if (sent <= 0) return false;
        data += sent;
        size -= static_cast<std::size_t>(sent);
    }
    return true;
}

}  // namespace

FaultProxy::FaultProxy(std::uint16_t target) : target_(target) {
    wake_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    Listen();
    thread_ = std::thread([this] { Run(); });
}

FaultProxy::~FaultProxy() {
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
    }
    Wake();
    thread_.join();
    for (Pair& pair : pairs_) Close(pair, false);
    if (listener_ >= 0) ::close(listener_);
    ::close(wake_);
}

void FaultProxy::Listen() {
    listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const int on = 1;
    ::setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in address = Loopback(port_);
    ::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::listen(listener_, 16);
    socklen_t length = sizeof address;
    ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
    port_ = ntohs(address.sin_port);
}

void FaultProxy::Wake() {
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t n = ::write(wake_, &one, sizeof one);
}

void FaultProxy::Arm(ProxyFault fault, int pass, std::chrono::milliseconds delay) {
    std::lock_guard lock(mutex_);
    fault_ = fault;
    pass_ = pass;
    delay_ = delay;
}

void FaultProxy::GoAway() {
    std::unique_lock lock(mutex_);
    wantListening_ = false;
    Wake();
    applied_.wait(lock, [this] { return !listening_; });
}

void FaultProxy::ComeBack() {
    std::unique_lock lock(mutex_);
    wantListening_ = true;
    Wake();
    applied_.wait(lock, [this] { return listening_; });
}

void FaultProxy::Close(Pair& pair, bool reset) {
    if (reset) {
        const linger abort{1, 0};
        ::setsockopt(pair.client, SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
    }
    ::close(pair.client);
    ::close(pair.server);
    pair.client = pair.server = -1;
}

void FaultProxy::Accept() {
    const int client = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
    if (client < 0) return;
    const int server = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address = Loopback(target_);
    if (::connect(server, reinterpret_cast<sockaddr*>(&address), sizeof address) < 0) {
        ::close(server);
        ::close(client);
        return;
    }
    const int on = 1;
    ::setsockopt(client, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    ::setsockopt(server, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    pairs_.push_back(Pair{client, server, {}});
}

bool FaultProxy::FromClient(Pair& pair) {
    char buffer[64 * 1024];
    const ssize_t got = ::recv(pair.client, buffer, sizeof buffer, 0);
    return got > 0 && SendAll(pair.server, buffer, static_cast<std::size_t>(got));
}

bool FaultProxy::FromServer(Pair& pair) {
    char buffer[64 * 1024];
    const ssize_t got = ::recv(pair.server, buffer, sizeof buffer, 0);
    if (got <= 0) return false;
    std::string reply(buffer, static_cast<std::size_t>(got));
    ProxyFault fault = ProxyFault::None;
    std::chrono::milliseconds delay{0};
    {
        std::lock_guard lock(mutex_);
        if (fault_ != ProxyFault::None && pass_-- == 0) {
            fault = fault_;
            delay = delay_;
            fault_ = ProxyFault::None;
        }
    }
    const std::size_t half = reply.size() / 2;
    switch (fault) {
        case ProxyFault::None:
            break;
        case ProxyFault::Delay:
            pair.held.push_back(Held{Clock::now() + delay, std::move(reply)});
            return true;
        case ProxyFault::NoReply:
            return true;
        case ProxyFault::CloseMidReply:
            SendAll(pair.client, reply.data(), half);
            return false;
        case ProxyFault::ResetBeforeReply:
            Close(pair, true);
            return false;
        case ProxyFault::Garbage:
            std::fill(reply.begin(), reply.end(), '\xA5');
            break;
        case ProxyFault::Truncate:
            reply.resize(half);
            break;
    }
    // Later replies wait behind a delayed one.
    if (!pair.held.empty()) {
        pair.held.push_back(Held{pair.held.back().due, std::move(reply)});
        return true;
    }
    return SendAll(pair.client, reply.data(), reply.size());
}

bool FaultProxy::Release(Pair& pair) {
    while (!pair.held.empty() && pair.held.front().due <= Clock::now()) {
        if (!SendAll(pair.client, pair.held.front().bytes.data(), pair.held.front().bytes.size())) return false;
        pair.held.pop_front();
    }
    return true;
}

void FaultProxy::Run() {
    for (;;) {
        {
            std::lock_guard lock(mutex_);
            if (stop_) return;
            if (wantListening_ != listening_) {
                if (wantListening_) {
                    Listen();
                } else {
                    for (Pair& pair : pairs_) Close(pair, false);
                    pairs_.clear();
                    ::close(listener_);
                    listener_ = -1;
                }
                listening_ = wantListening_;
                applied_.notify_all();
            }
        }
        std::vector<pollfd> fds{{wake_, POLLIN, 0}};
        if (listener_ >= 0) fds.push_back({listener_, POLLIN, 0});
        const std::size_t firstPair = fds.size();
        int timeout = -1;
        for (const Pair& pair : pairs_) {
            fds.push_back({pair.client, POLLIN, 0});
            fds.push_back({pair.server, POLLIN, 0});
            if (!pair.held.empty()) {
                const auto wait =
                    std::chrono::duration_cast<std::chrono::milliseconds>(pair.held.front().due - Clock::now());
                const int ms = static_cast<int>(std::max<long long>(wait.count(), 0) + 1);
                timeout = timeout < 0 ? ms : std::min(timeout, ms);
            }
        }
        if (::poll(fds.data(), fds.size(), timeout) < 0) continue;
        if (fds[0].revents) {
            std::uint64_t count = 0;
            [[maybe_unused]] const ssize_t n = ::read(wake_, &count, sizeof count);
        }
        if (listener_ >= 0 && fds[1].revents) Accept();
        std::size_t index = firstPair;
        for (auto it = pairs_.begin(); it != pairs_.end() && index < fds.size(); index += 2) {
            bool alive = true;
            if (fds[index].revents) alive = FromClient(*it);
            if (alive && fds[index + 1].revents) alive = FromServer(*it);
            if (alive) alive = Release(*it);
            if (!alive) {
                if (it->client >= 0) Close(*it, false);
                it = pairs_.erase(it);
            } else {
                ++it;
            }
        }
    }
}

}  // namespace ztv::test
