// Deadline-bounded I/O on non-blocking file descriptors (sockets, ttys).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/visa/transport/deadline.h"
#include "platform/visa/status.h"

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

Status SetNonBlocking(int fd);
// Waits until `events` (POLLIN/POLLOUT) are ready; a time-out fails with E_VISA_TMO.
Status WaitFor(int fd, short events, Deadline deadline);
// Writes everything. `peer` names the other side in error texts.
Status WriteAll(int fd, const std::uint8_t* data, std::size_t size, Deadline deadline, const std::string& peer);
// Reads at least one byte; end of stream is E_VISA_CONN_LOST.
Status ReadSome(int fd, std::uint8_t* buffer, std::size_t capacity, Deadline deadline, const std::string& peer,
                std::size_t* received);
// Reads exactly `size` bytes.
Status ReadExactly(int fd, std::uint8_t* buffer, std::size_t size, Deadline deadline, const std::string& peer);
// Reads and throws away whatever is already waiting, without blocking.
Status DiscardPendingInput(int fd, const std::string& peer);

}  // namespace visa
