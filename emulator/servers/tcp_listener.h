#pragma once

#include <atomic>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "emulator/servers/serving_thread.h"

namespace emulator {

// Accepts TCP connections and serves each on its own thread. The listener
// owns every socket: a handler only reads and writes, returns when it is
// done, and the listener closes the socket afterwards.
class TcpListener {
public:
    // `connection` numbers the connection; shared by all listeners of one emulator.
    using Handler = std::function<void(int fd, int connection)>;

    TcpListener(std::atomic<int>& connectionCounter) : counter_(connectionCounter) {}
    ~TcpListener() { Stop(); }
    TcpListener(const TcpListener&) = delete;
    TcpListener& operator=(const TcpListener&) = delete;

    bool Start(const std::string& address, int port, Handler handler, std::string* error);
    // Wakes every handler blocked on its socket and joins all threads.
    void Stop();
    int Port() const { return port_; }

private:
    struct Connection {
        int fd = -1;
        bool open = true;
        std::atomic<bool> finished{false};
        std::thread thread;
    };

    void Accept();
    void ReapFinished();

    std::atomic<int>& counter_;
    Handler handler_;
    int listenFd_ = -1;
    int port_ = 0;
    std::mutex mutex_;
    std::list<std::unique_ptr<Connection>> connections_;
    ServingThread serving_;  // last: its thread uses the members above; owns the listening socket
};

}  // namespace emulator
