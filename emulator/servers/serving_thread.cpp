#include "emulator/servers/serving_thread.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>

namespace emulator {

void ServingThread::Start(std::vector<int> sockets, std::function<void(int socket)> ready) {
    wakeFd_ = eventfd(0, EFD_CLOEXEC);
    sockets_ = std::move(sockets);
    thread_ = std::thread([this, ready = std::move(ready)] { Serve(ready); });
}

void ServingThread::Serve(const std::function<void(int socket)>& ready) const {
    std::vector<pollfd> fds;
    for (int socket : sockets_) fds.push_back({socket, POLLIN, 0});
    fds.push_back({wakeFd_, POLLIN, 0});
    for (;;) {
        if (poll(fds.data(), fds.size(), -1) < 0) {
            if (errno == EINTR) continue;
            return;
        }
        if (fds.back().revents) return;
        for (std::size_t i = 0; i + 1 < fds.size(); ++i) {
            if (fds[i].revents) ready(fds[i].fd);
        }
    }
}

void ServingThread::Stop() {
    if (!thread_.joinable()) return;
    std::uint64_t one = 1;
    if (write(wakeFd_, &one, sizeof one) < 0) {
        for (int socket : sockets_) shutdown(socket, SHUT_RDWR);
    }
    thread_.join();
    close(wakeFd_);
    wakeFd_ = -1;
    for (int socket : sockets_) close(socket);
    sockets_.clear();
}

}  // namespace emulator
