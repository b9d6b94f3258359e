#include "platform/visa/transport/usb/usbtmc_transport.h"

#include <fcntl.h>
#include <linux/usb/tmc.h>
#include <pthread.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/ioctl.h>

#include <algorithm>
#include <cerrno>

namespace visa {
namespace {

constexpr std::uint32_t kMinimumTimeoutMs = 100;  // the driver refuses less
constexpr std::uint32_t kInfiniteTimeoutMs = 0x7FFFFFFF;
constexpr std::uint8_t kAttributeEom = 0x01;
constexpr std::uint8_t kAttributeTermChar = 0x02;
constexpr int kLockRetryMs = 10;
constexpr char kUdevRule[] = "60-zentrava-usbtmc.rules";

// A signal that interrupts read() after the kernel took the first part of a
// reply loses that part, and a restarted read() asks anew while the rest is
// still queued: signals wait until the call returns. The file's time-out
// bounds how long.
class SignalsHeld {
public:
    SignalsHeld() {
        sigset_t all;
        sigfillset(&all);
        pthread_sigmask(SIG_BLOCK, &all, &saved_);
    }
    ~SignalsHeld() { pthread_sigmask(SIG_SETMASK, &saved_, nullptr); }
    SignalsHeld(const SignalsHeld&) = delete;
    SignalsHeld& operator=(const SignalsHeld&) = delete;

private:
    sigset_t saved_;
};

Status OpenFailure(const std::string& path, int err) {
    if (err == EACCES || err == EPERM) {
        return Status::Fail(E_VISA_INV_SETUP,
                            "No permission to open " + path + ": install the udev rule " + kUdevRule +
                                " (it gives the group plugdev access to USBTMC instruments), join plugdev, then "
                                "plug the instrument in again.");
    }
    if (err == ENOENT || err == ENODEV || err == ENXIO) {
        return Status::FromErrno(E_VISA_RSRC_NFOUND, "The USBTMC device " + path + " is gone", err);
    }
    return Status::FromErrno(E_VISA_IO, "Cannot open " + path, err);
}

}  // namespace

Status UsbtmcTransport::Open(const UsbtmcHost& host, const UsbtmcQuery& query, bool exclusiveLock, Deadline deadline,
                             std::unique_ptr<Transport>* transport) {
    std::unique_ptr<UsbtmcTransport> opened(new UsbtmcTransport(host, query, exclusiveLock));
    if (Status status = opened->Connect(deadline); !status.ok()) return status;
    *transport = std::move(opened);
    return Status::Ok();
}

UsbtmcTransport::~UsbtmcTransport() { CloseDevice(); }

void UsbtmcTransport::CloseDevice() {
    if (pending_.valid()) pending_.wait();
    if (device_ >= 0) system().Close(device_);
    device_ = -1;
}

Status UsbtmcTransport::Connect(Deadline deadline) {
    CloseDevice();
    if (Status status = LocateUsbtmc(query_, host_.sysRoot, host_.devRoot, &path_); !status.ok()) return status;
    const int fd = system().Open(path_, O_RDWR | O_CLOEXEC);
    if (fd < 0) return OpenFailure(path_, errno);
    device_ = fd;
    if (exclusiveLock_) {
        if (Status status = Lock(deadline); !status.ok()) {
            CloseDevice();
            return status;
        }
    }
    // A new open file starts with the kernel's defaults.
    timeoutMs_.reset();
    eom_ = true;
    termChar_ = {false, '\n'};
    termCharRefused_ = false;
    held_.reset();
    stale_ = false;
    lost_ = false;
    // Devices without USB488 report no capabilities: nothing beyond plain messages.
    capabilities_ = 0;
    if (system().Ioctl(device_, USBTMC488_IOCTL_GET_CAPS, &capabilities_) != 0) capabilities_ = 0;
    return Status::Ok();
}

Status UsbtmcTransport::Lock(Deadline deadline) {
    for (;;) {
        if (::flock(device_, LOCK_EX | LOCK_NB) == 0) return Status::Ok();
        if (errno == EINTR) continue;
        if (errno != EWOULDBLOCK) return Status::FromErrno(E_VISA_IO, "Cannot lock " + path_, errno);
        if (deadline.Expired()) {
            return Status::Fail(E_VISA_IO, path_ + " is in use: another process holds its exclusive lock.");
        }
        interruption_.Sleep(kLockRetryMs, deadline);
    }
}

Status UsbtmcTransport::Failure(const char* action, int err) {
    if (err == ETIMEDOUT) {
        // The request stays queued in the device; its reply must not reach a later read.
        stale_ = true;
        return Status::Timeout();
    }
    if (err == ENODEV || err == ESHUTDOWN) {
        lost_ = true;
        return Status::FromErrno(E_VISA_CONN_LOST, path_ + " went away", err);
    }
    // A halted endpoint stays halted until a clear.
    if (err == EPIPE) stale_ = true;
    return Status::FromErrno(E_VISA_IO, std::string(action) + " " + path_ + " failed", err);
}

Status UsbtmcTransport::Unsupported(const std::string& what) const {
    return Status::Fail(E_VISA_NSUP_OPER, path_ + " is a USBTMC device without USB488: it has no " + what + ".");
}

Status UsbtmcTransport::Await(Deadline deadline, int* err) {
    if (!deadline.infinite() &&
        pending_.wait_for(std::chrono::milliseconds(deadline.PollMilliseconds())) != std::future_status::ready) {
        return Status::Timeout();
    }
    *err = pending_.get();
    return Status::Ok();
}

Status UsbtmcTransport::Settle(Deadline deadline) {
    int ignored = 0;
    return pending_.valid() ? Await(deadline, &ignored) : Status::Ok();
}

Status UsbtmcTransport::ControlRequest(unsigned long request, const char* action, Deadline deadline) {
    if (Status status = ApplyTimeout(deadline); !status.ok()) return status;
    pending_ = std::async(std::launch::async,
                          [this, request] { return system().Ioctl(device_, request, &controlByte_) == 0 ? 0 : errno; });
    int err = 0;
    if (Status status = Await(deadline, &err); !status.ok()) return status;
    return err == 0 ? Status::Ok() : Failure(action, err);
}

Status UsbtmcTransport::Ready(Deadline deadline) {
    if (Status status = Settle(deadline); !status.ok()) return status;
    if (lost_) {
        if (Status status = Connect(deadline); !status.ok()) return status;
    }
    if (stale_) return Clear(deadline);
    return Status::Ok();
}

Status UsbtmcTransport::ApplyTimeout(Deadline deadline) {
    if (deadline.Expired()) return Status::Timeout();
    const std::uint32_t wanted =
        std::max(deadline.infinite() ? kInfiniteTimeoutMs : deadline.RemainingMilliseconds(), kMinimumTimeoutMs);
    // Each ioctl is a system call; a time-out close to the one set is close enough.
    if (timeoutMs_ && *timeoutMs_ >= wanted && *timeoutMs_ - wanted < kMinimumTimeoutMs / 10) return Status::Ok();
    std::uint32_t value = wanted;
    if (system().Ioctl(device_, USBTMC_IOCTL_SET_TIMEOUT, &value) != 0) {
        return Failure("Setting the time-out of", errno);
    }
    timeoutMs_ = wanted;
    return Status::Ok();
}

void UsbtmcTransport::ApplyTermChar(const ReadRequest& request) {
    const bool enable = request.termCharEnabled && !termCharRefused_;
    const std::pair<bool, std::uint8_t> wanted{enable, enable ? request.termChar : termChar_.second};
    if (termChar_ == wanted) return;
    usbtmc_termchar setting{wanted.second, static_cast<__u8>(wanted.first ? 1 : 0)};
    if (system().Ioctl(device_, USBTMC_IOCTL_CONFIG_TERMCHAR, &setting) == 0) {
        termChar_ = wanted;
    } else if (wanted.first && errno == EINVAL) {
        // The device cannot stop at a character: its reads end at END, and asking again is no use.
        termCharRefused_ = true;
    }
}

Status UsbtmcTransport::SetEom(bool end) {
    if (eom_ == end) return Status::Ok();
    __u8 value = end ? 1 : 0;
    if (system().Ioctl(device_, USBTMC_IOCTL_EOM_ENABLE, &value) != 0) {
        return Status::FromErrno(E_VISA_NSUP_OPER,
                                 "The usbtmc driver of this kernel cannot send a message in parts (Linux 4.20 "
                                 "and later can; EOM_ENABLE)",
                                 errno);
    }
    eom_ = end;
    return Status::Ok();
}

Status UsbtmcTransport::Send(const std::uint8_t* data, std::size_t size, bool end, Deadline deadline) {
    if (size == 0) return Status::Ok();
    if (Status status = SetEom(end); !status.ok()) return status;
    if (Status status = ApplyTimeout(deadline); !status.ok()) return status;
    for (;;) {
        const ssize_t written = system().Write(device_, data, size);
        if (written < 0 && errno == EINTR) continue;
        if (written < 0) return Failure("Writing to", errno);
        // The kernel sends all of it or fails.
        if (static_cast<std::size_t>(written) != size) return Failure("Writing to", EIO);
        return Status::Ok();
    }
}

Status UsbtmcTransport::SendHeld(bool end, Deadline deadline) {
    if (!held_) return Status::Ok();
    const std::uint8_t byte = *held_;
    held_.reset();
    return Send(&byte, 1, end, deadline);
}

Status UsbtmcTransport::Write(const std::uint8_t* data, std::size_t size, bool end, Deadline deadline) {
    if (Status status = Ready(deadline); !status.ok()) return status;
    if (Status status = SendHeld(end && size == 0, deadline); !status.ok()) return status;
    const bool holdLast = !end && size > 0;
    if (Status status = Send(data, holdLast ? size - 1 : size, end, deadline); !status.ok()) return status;
    if (holdLast) held_ = data[size - 1];
    return Status::Ok();
}

Status UsbtmcTransport::ReadOnce(std::uint8_t* buffer, std::size_t size, ssize_t* got) {
    SignalsHeld held;
    do {
        *got = system().Read(device_, buffer, size);
    } while (*got < 0 && errno == EINTR);  // only before the request went out
    return *got < 0 ? Failure("Reading from", errno) : Status::Ok();
}

Status UsbtmcTransport::LostStep(Deadline deadline) {
    // The kernel drops a reply whose tag is not the request's and returns
    // nothing: an earlier reply arrived late, and what follows is out of step.
    stale_ = true;
    const Status cleared = Clear(deadline);
    return Status::Fail(E_VISA_IO, "A reply from " + path_ + " did not answer its request" +
                                       (cleared.ok() ? "; the device was cleared." : " (" + cleared.text + ")."));
}

Status UsbtmcTransport::Read(const ReadRequest& request, Deadline deadline, ReadResult* result) {
    *result = ReadResult{};
    if (Status status = Ready(deadline); !status.ok()) return status;
    // What was written so far must reach the device before it can answer.
    if (Status status = SendHeld(false, deadline); !status.ok()) return status;
    ApplyTermChar(request);
    std::size_t filled = 0;
    while (filled < request.count) {
        if (Status status = ApplyTimeout(deadline); !status.ok()) {
            // The rest of a reply begun is still in the device.
            if (filled > 0) stale_ = true;
            return status;
        }
        const std::size_t wanted = request.count - filled;
        ssize_t got = 0;
        if (Status status = ReadOnce(request.buffer + filled, wanted, &got); !status.ok()) return status;
        if (got == 0) return LostStep(deadline);
        filled += static_cast<std::size_t>(got);
        __u8 attributes = 0;
        if (system().Ioctl(device_, USBTMC_IOCTL_MSG_IN_ATTR, &attributes) != 0) {
            // Older drivers: a short transfer is the end of the message.
            attributes = static_cast<std::size_t>(got) < wanted ? kAttributeEom : 0;
        }
        if (attributes & kAttributeTermChar) {
            result->end = ReadEnd::TermChar;
            break;
        }
        if (attributes & kAttributeEom) {
            result->end = ReadEnd::End;
            break;
        }
    }
    result->count = filled;
    return Status::Ok();
}

Status UsbtmcTransport::Clear(Deadline deadline) {
    if (lost_) return Ready(deadline);
    if (Status status = Settle(deadline); !status.ok()) return status;
    held_.reset();
    // Until a clear succeeds the device may be out of step: the next call clears again.
    stale_ = true;
    if (Status status = ControlRequest(USBTMC_IOCTL_CLEAR, "Clearing", deadline); !status.ok()) return status;
    stale_ = false;
    return Status::Ok();
}

Status UsbtmcTransport::ReadStatusByte(Deadline deadline, std::uint8_t* statusByte) {
    if (Status status = Ready(deadline); !status.ok()) return status;
    if (capabilities_ == 0) return Unsupported("status byte");
    if (Status status = ControlRequest(USBTMC488_IOCTL_READ_STB, "Reading the status byte of", deadline);
        !status.ok()) {
        return status;
    }
    *statusByte = controlByte_;
    return Status::Ok();
}

Status UsbtmcTransport::Trigger(Deadline deadline) {
    if ((capabilities_ & USBTMC488_CAPABILITY_TRIGGER) == 0) {
        // The kernel sends a TRIGGER message regardless, and a device
        // without the capability may halt its bulk-out endpoint on it.
        static constexpr std::uint8_t kTrigger[] = {'*', 'T', 'R', 'G'};
        return Write(kTrigger, sizeof kTrigger, true, deadline);
    }
    if (Status status = Ready(deadline); !status.ok()) return status;
    if (Status status = ApplyTimeout(deadline); !status.ok()) return status;
    if (system().Ioctl(device_, USBTMC488_IOCTL_TRIGGER, nullptr) != 0) return Failure("Triggering", errno);
    return Status::Ok();
}

Status UsbtmcTransport::WaitForServiceRequest(Deadline deadline, std::uint8_t* statusByte) {
    if (Status status = Ready(deadline); !status.ok()) return status;
    if ((capabilities_ & USBTMC488_CAPABILITY_SR1) == 0) {
        if (capabilities_ == 0) return Unsupported("service requests");
        // No interrupt-IN notifications from this device.
        return PollForServiceRequest(deadline, statusByte);
    }
    for (;;) {
        pollfd entries[2] = {{interruption_.fd(), POLLIN, 0}, {device_, POLLPRI, 0}};
        const int ready = system().Poll(entries, 2, deadline.PollMilliseconds());
        if (ready < 0 && errno == EINTR) continue;
        if (ready < 0) return Failure("Waiting for a service request of", errno);
        if (entries[0].revents != 0) return ServiceRequestWaitInterrupted();
        if (ready == 0) return ServiceRequestWaitTimedOut();
        const short events = entries[1].revents;
        if (events & POLLNVAL) return Failure("Waiting for a service request of", EBADF);
        // POLLHUP comes only with an unplug; POLLERR alone follows any failed transfer.
        if ((events & POLLHUP) && (events & POLLERR)) return Failure("Waiting for a service request of", ENODEV);
        // The kernel answers with the status byte of the notification.
        if (events & POLLPRI) return ReadStatusByte(deadline, statusByte);
        // POLLERR stays set until the next transfer: poll the status byte instead of spinning.
        if (events & POLLERR) return PollForServiceRequest(deadline, statusByte);
    }
}

}  // namespace visa
