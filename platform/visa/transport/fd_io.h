// Deadline-bounded I/O on file descriptors (sockets, ttys); writes never block.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/visa/status.h"
#include "platform/visa/transport/deadline.h"

namespace visa {

// Owns a file descriptor and closes it.
class UniqueFd {
public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) : fd_(fd) {}
    UniqueFd(UniqueFd&& other) noexcept : fd_(other.release()) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept;
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;
    ~UniqueFd() { reset(); }

    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }
    int release();
    void reset(int fd = -1);

private:
    int fd_ = -1;
};

// Lets reads block: a socket read through ReceiveWaiting waits inside recv.
Status SetBlocking(int fd);
// Waits until `events` (POLLIN/POLLOUT) are ready; a time-out fails with E_VISA_TMO.
Status WaitFor(int fd, short events, Deadline deadline);
// Writes everything. `peer` names the other side in error texts.
Status WriteAll(int fd, const std::uint8_t* data, std::size_t size, Deadline deadline, const std::string& peer);
// Reads at least one byte; end of stream is E_VISA_CONN_LOST.
Status ReadSome(int fd, std::uint8_t* buffer, std::size_t capacity, Deadline deadline, const std::string& peer,
                std::size_t* received);
// ReadSome for a blocking socket, waiting inside recv itself with the time
// left as the socket's receive time-out, so that a reply costs one system
// call instead of a poll and a read. `*armedMs` is the time-out the socket
// holds (-1: none set yet, 0: none); it is set again only when the time left
// falls below it or far above it.
Status ReceiveWaiting(int fd, std::uint8_t* buffer, std::size_t capacity, Deadline deadline, const std::string& peer,
                      int* armedMs, std::size_t* received);
// Reads exactly `size` bytes.
Status ReadExactly(int fd, std::uint8_t* buffer, std::size_t size, Deadline deadline, const std::string& peer);
// Reads and throws away whatever is already waiting, without blocking.
Status DiscardPendingInput(int fd, const std::string& peer);

}  // namespace visa
