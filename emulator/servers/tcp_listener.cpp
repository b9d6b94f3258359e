#include "emulator/servers/tcp_listener.h"

#include <sys/socket.h>
#include <unistd.h>

#include "emulator/servers/socket_io.h"

namespace emulator {

bool TcpListener::Start(const std::string& address, int port, Handler handler, std::string* error) {
    listenFd_ = ListenTcp(address, port, error);
    if (listenFd_ < 0) return false;
    port_ = LocalPort(listenFd_);
    handler_ = std::move(handler);
    serving_.Start({listenFd_}, [this](int) { Accept(); });
    return true;
}

void TcpListener::Accept() {
    int fd = accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) return;
    SetNoDelay(fd);
    ReapFinished();
    auto connection = std::make_unique<Connection>();
    Connection* c = connection.get();
    c->fd = fd;
    int number = ++counter_;
    std::lock_guard<std::mutex> lock(mutex_);
    c->thread = std::thread([this, c, number] {
        handler_(c->fd, number);
        {
            std::lock_guard<std::mutex> guard(mutex_);
            close(c->fd);
            c->open = false;
        }
        c->finished = true;
    });
    connections_.push_back(std::move(connection));
}

void TcpListener::ReapFinished() {
    std::list<std::unique_ptr<Connection>> done;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        for (auto it = connections_.begin(); it != connections_.end();) {
            if ((*it)->finished) {
                done.push_back(std::move(*it));
                it = connections_.erase(it);
            } else {
                ++it;
            }
        }
    }
    for (auto& c : done) c->thread.join();
}

void TcpListener::Stop() {
    if (listenFd_ < 0) return;
    serving_.Stop();
    std::list<std::unique_ptr<Connection>> all;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        for (auto& c : connections_) {
            if (c->open) shutdown(c->fd, SHUT_RDWR);
        }
        all.swap(connections_);
    }
    for (auto& c : all) c->thread.join();
    listenFd_ = -1;
    port_ = 0;
}

}  // namespace emulator
