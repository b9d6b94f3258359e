#include "platform/visa/transport/fd_io.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace visa {
namespace {

bool IsConnectionLoss(int err) { return err == ECONNRESET || err == EPIPE || err == ENOTCONN || err == ETIMEDOUT; }

Status IoFailure(const std::string& action, const std::string& peer, int err) {
    if (IsConnectionLoss(err)) return Status::FromErrno(E_VISA_CONN_LOST, "Connection to " + peer + " lost", err);
    return Status::FromErrno(E_VISA_IO, action + " " + peer + " failed", err);
}

// send() keeps a closed peer from raising SIGPIPE, and a blocking socket from
// blocking (the wait is WriteAll's, bounded by its deadline); ttys need write().
ssize_t WriteNoSignal(int fd, const std::uint8_t* data, std::size_t size) {
    const ssize_t sent = ::send(fd, data, size, MSG_NOSIGNAL | MSG_DONTWAIT);
    if (sent < 0 && errno == ENOTSOCK) return ::write(fd, data, size);
    return sent;
}

}  // namespace

UniqueFd& UniqueFd::operator=(UniqueFd&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
}

int UniqueFd::release() {
    const int fd = fd_;
    fd_ = -1;
    return fd;
}

void UniqueFd::reset(int fd) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = fd;
}

Status SetBlocking(int fd) {
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) < 0) {
        return Status::FromErrno(E_VISA_SYSTEM_ERROR, "Cannot make the connection blocking", errno);
    }
    return Status::Ok();
}

Status WaitFor(int fd, short events, Deadline deadline) {
    for (;;) {
        pollfd entry{fd, events, 0};
        const int ready = ::poll(&entry, 1, deadline.PollMilliseconds());
        if (ready > 0) return Status::Ok();
        if (ready == 0) return Status::Timeout();
        if (errno != EINTR) return Status::FromErrno(E_VISA_SYSTEM_ERROR, "poll failed", errno);
    }
}

Status WriteAll(int fd, const std::uint8_t* data, std::size_t size, Deadline deadline, const std::string& peer) {
    while (size > 0) {
        const ssize_t sent = WriteNoSignal(fd, data, size);
        if (sent > 0) {
            data += sent;
            size -= static_cast<std::size_t>(sent);
            continue;
        }
        if (sent < 0 && errno == EINTR) continue;
        if (sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            if (Status waited = WaitFor(fd, POLLOUT, deadline); !waited.ok()) return waited;
            continue;
        }
        return IoFailure("Writing to", peer, sent < 0 ? errno : EPIPE);
    }
    return Status::Ok();
}

Status ReadSome(int fd, std::uint8_t* buffer, std::size_t capacity, Deadline deadline, const std::string& peer,
                std::size_t* received) {
    // Waiting first: a reply is rarely there the moment it is asked for, and
    // a read that finds nothing would cost a system call per round trip.
    for (;;) {
        if (Status waited = WaitFor(fd, POLLIN, deadline); !waited.ok()) return waited;
        const ssize_t got = ::read(fd, buffer, capacity);
        if (got > 0) {
            *received = static_cast<std::size_t>(got);
            return Status::Ok();
        }
        if (got == 0) return Status::Fail(E_VISA_CONN_LOST, "Connection closed by " + peer + ".");
        if (errno == EINTR) continue;
        if (errno != EAGAIN && errno != EWOULDBLOCK) return IoFailure("Reading from", peer, errno);
    }
}

Status ReceiveWaiting(int fd, std::uint8_t* buffer, std::size_t capacity, Deadline deadline, const std::string& peer,
                      int* armedMs, std::size_t* received) {
    for (;;) {
        const int left = deadline.PollMilliseconds();
        int flags = 0;
        if (left == 0) {
            flags = MSG_DONTWAIT;  // only what is already there
        } else if (left < 0 ? *armedMs != 0 : (*armedMs <= 0 || *armedMs > left || *armedMs < left / 2)) {
            // Three quarters of the time left: the next queries, with about the
            // same time left, find it armed already.
            const int arm = left < 0 ? 0 : std::max(1, left - left / 4);
            timeval wait{arm / 1000, static_cast<suseconds_t>(arm % 1000) * 1000};
            if (::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait) < 0)
                return Status::FromErrno(E_VISA_SYSTEM_ERROR, "Cannot set the receive time-out", errno);
            *armedMs = arm;
        }
        const ssize_t got = ::recv(fd, buffer, capacity, flags);
        if (got > 0) {
            *received = static_cast<std::size_t>(got);
            return Status::Ok();
        }
        if (got == 0) return Status::Fail(E_VISA_CONN_LOST, "Connection closed by " + peer + ".");
        if (errno == EINTR) continue;
        if (errno != EAGAIN && errno != EWOULDBLOCK) return IoFailure("Reading from", peer, errno);
        if (left == 0) return Status::Timeout();
    }
}

Status ReadExactly(int fd, std::uint8_t* buffer, std::size_t size, Deadline deadline, const std::string& peer) {
    while (size > 0) {
        std::size_t got = 0;
        if (Status status = ReadSome(fd, buffer, size, deadline, peer, &got); !status.ok()) return status;
        buffer += got;
        size -= got;
    }
    return Status::Ok();
}

Status DiscardPendingInput(int fd, const std::string& peer) {
    std::uint8_t scratch[4096];
    for (;;) {
        const ssize_t got = ::read(fd, scratch, sizeof scratch);
        if (got > 0) continue;
        if (got == 0) return Status::Fail(E_VISA_CONN_LOST, "Connection closed by " + peer + ".");
        if (errno == EINTR) continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK) return Status::Ok();
        return IoFailure("Reading from", peer, errno);
    }
}

}  // namespace visa
