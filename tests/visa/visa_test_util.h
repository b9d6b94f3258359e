// Helpers shared by the VISA layer tests: the thread's error text, sessions opened through the resource manager, and
// a loopback TCP listener that runs one handler thread per connection.
#pragma once

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/visa/visacom.h"
#include "zentrava/raii.h"

namespace visa::test {

// The description of the thread's error object (taken off the thread).
std::string TakeErrorText();

// Opens a resource through a fresh resource manager.
HRESULT OpenMessage(const std::string& resource, const std::string& options, LONG openTimeout,
                    com::ComPtr<IMessage>* io);

// Writes `command` as text and reads the reply as text (up to 1024 bytes).
HRESULT Query(IMessage* io, const std::string& command, std::string* reply);

// The reply to `command` as Query reads it, or, when the query fails, the
// error text, so that a comparison with the expected reply shows why.
std::string ReplyOrError(IMessage* io, const std::string& command);

// Writes `command` through a formatter on `io` and reads the reply's IEEE
// 488.2 block as bytes, with the session's termination character enabled.
HRESULT QueryBlock(IMessage* io, const std::string& command, std::string* bytes);

// A socket listening on 127.0.0.1 at an ephemeral port, which `port` receives.
int ListenOnLoopback(int backlog, std::uint16_t* port);

// Listens on 127.0.0.1 with an ephemeral port; each accepted connection is
// handed to `handler` on its own thread. The server closes the sockets;
// a handler drops a connection with shutdown().
class LoopbackServer {
public:
    using Handler = std::function<void(int socket)>;
    explicit LoopbackServer(Handler handler, int backlog = 16);
    ~LoopbackServer();
    std::uint16_t port() const { return port_; }
    int connections() const { return connections_; }

private:
    void AcceptLoop();

    Handler handler_;
    int listener_ = -1;
    std::uint16_t port_ = 0;
    std::atomic<bool> stopping_{false};
    std::atomic<int> connections_{0};
    std::thread acceptor_;
    std::mutex mutex_;
    std::vector<std::thread> workers_;
    std::vector<int> sockets_;
};

// Blocking helpers for test servers: false when the peer closed.
bool ReceiveLine(int socket, std::string* line);
bool ReceiveExactly(int socket, void* data, std::size_t size);
void SendAll(int socket, const std::string& data);

}  // namespace visa::test
