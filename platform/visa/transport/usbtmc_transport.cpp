#include "platform/visa/transport/usbtmc_transport.h"

#include <fcntl.h>
#include <linux/usb/tmc.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace visa {
namespace {

constexpr std::uint32_t kMinimumTimeoutMs = 100;  // the driver refuses less
constexpr std::uint8_t kAttributeEom = 0x01;
constexpr std::uint8_t kAttributeTermChar = 0x02;

}  // namespace

Status UsbtmcTransport::Open(const std::string& devicePath, std::unique_ptr<Transport>* transport) {
    std::unique_ptr<UsbtmcTransport> opened(new UsbtmcTransport(devicePath));
    opened->device_.reset(::open(devicePath.c_str(), O_RDWR | O_CLOEXEC));
    if (!opened->device_.valid()) return Status::FromErrno(E_VISA_RSRC_NFOUND, "Cannot open " + devicePath, errno);
    *transport = std::move(opened);
    return Status::Ok();
}

Status UsbtmcTransport::Failure(const char* action, int err) {
    if (err == ETIMEDOUT) {
        stale_ = true;
        return Status::Timeout();
    }
    if (err == ENODEV || err == ESHUTDOWN) return Status::FromErrno(E_VISA_CONN_LOST, path_ + " went away", err);
    return Status::FromErrno(E_VISA_IO, std::string(action) + " " + path_ + " failed", err);
}

void UsbtmcTransport::ApplyTimeout(Deadline deadline) {
    const std::uint32_t wanted = std::max(deadline.infinite() ? 0x7FFFFFFFu : deadline.RemainingMilliseconds(),
                                          kMinimumTimeoutMs);
    // Each ioctl is a system call; most operations run with an unchanged time-out.
    if (timeoutMs_ && *timeoutMs_ == wanted) return;
    std::uint32_t value = wanted;
    if (::ioctl(device_.get(), USBTMC_IOCTL_SET_TIMEOUT, &value) == 0) timeoutMs_ = wanted;
}

void UsbtmcTransport::ApplyTermChar(const ReadRequest& request) {
    const std::pair<bool, std::uint8_t> wanted{request.termCharEnabled, request.termChar};
    if (termChar_ == wanted) return;
    usbtmc_termchar setting{request.termChar, static_cast<__u8>(request.termCharEnabled ? 1 : 0)};
    // Devices without termination-character support refuse; reads then end at END only.
    if (::ioctl(device_.get(), USBTMC_IOCTL_CONFIG_TERMCHAR, &setting) == 0) termChar_ = wanted;
}

Status UsbtmcTransport::Write(const std::uint8_t* data, std::size_t size, bool end, Deadline deadline) {
    if (stale_) {
        if (Status status = Clear(deadline); !status.ok()) return status;
    }
    ApplyTimeout(deadline);
    if (eom_ != end) {
        __u8 eom = end ? 1 : 0;
        if (::ioctl(device_.get(), USBTMC_IOCTL_EOM_ENABLE, &eom) == 0) eom_ = end;
    }
    while (size > 0) {
        const ssize_t written = ::write(device_.get(), data, size);
        if (written < 0) {
            if (errno == EINTR) continue;
            return Failure("Writing to", errno);
        }
        data += written;
        size -= static_cast<std::size_t>(written);
    }
    return Status::Ok();
}

Status UsbtmcTransport::Read(const ReadRequest& request, Deadline deadline, ReadResult* result) {
    *result = ReadResult{};
    ApplyTimeout(deadline);
    ApplyTermChar(request);
    std::size_t filled = 0;
    while (filled < request.count) {
        const std::size_t wanted = request.count - filled;
        const ssize_t got = ::read(device_.get(), request.buffer + filled, wanted);
        if (got < 0) {
            if (errno == EINTR) continue;
            return Failure("Reading from", errno);
        }
        filled += static_cast<std::size_t>(got);
        __u8 attributes = 0;
        if (::ioctl(device_.get(), USBTMC_IOCTL_MSG_IN_ATTR, &attributes) != 0) {
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
        if (got == 0 && deadline.Expired()) return Failure("Reading from", ETIMEDOUT);
    }
    result->count = filled;
    return Status::Ok();
}

Status UsbtmcTransport::Clear(Deadline deadline) {
    ApplyTimeout(deadline);
    if (::ioctl(device_.get(), USBTMC_IOCTL_CLEAR) != 0) return Failure("Clearing", errno);
    stale_ = false;
    return Status::Ok();
}

Status UsbtmcTransport::ReadStatusByte(Deadline deadline, std::uint8_t* statusByte) {
    ApplyTimeout(deadline);
    unsigned char value = 0;
    if (::ioctl(device_.get(), USBTMC488_IOCTL_READ_STB, &value) != 0) return Failure("Reading the status byte of", errno);
    *statusByte = value;
    return Status::Ok();
}

Status UsbtmcTransport::Trigger(Deadline deadline) {
    ApplyTimeout(deadline);
    if (::ioctl(device_.get(), USBTMC488_IOCTL_TRIGGER) != 0) return Failure("Triggering", errno);
    return Status::Ok();
}

Status UsbtmcTransport::WaitForServiceRequest(Deadline deadline, std::uint8_t* statusByte) {
    unsigned char capabilities = 0;
    if (::ioctl(device_.get(), USBTMC488_IOCTL_GET_CAPS, &capabilities) != 0 ||
        (capabilities & USBTMC488_CAPABILITY_SR1) == 0) {
        // No interrupt-IN notifications from this device.
        return PollForServiceRequest(deadline, statusByte);
    }
    for (;;) {
        pollfd entries[2] = {{interruption_.fd(), POLLIN, 0}, {device_.get(), POLLPRI, 0}};
        const int ready = ::poll(entries, 2, deadline.PollMilliseconds());
        if (ready < 0 && errno == EINTR) continue;
        if (ready < 0) return Failure("Waiting for a service request of", errno);
        if (entries[0].revents != 0) return ServiceRequestWaitInterrupted();
        if (ready == 0) return ServiceRequestWaitTimedOut();
        if (entries[1].revents & (POLLERR | POLLHUP)) return Failure("Waiting for a service request of", ENODEV);
        // The kernel answers with the status byte of the notification.
        if (entries[1].revents & POLLPRI) return ReadStatusByte(deadline, statusByte);
    }
}

}  // namespace visa
