#include "platform/visa/transport/serial/serial_transport.h"

#include <fcntl.h>
#include <termios.h>

#include <cerrno>

namespace visa {
namespace {

constexpr std::size_t kReceiveChunk = 4096;

}  // namespace

Status OpenSerialPort(const std::string& devicePath, const SerialSettings& settings, UniqueFd* tty) {
    tty->reset(::open(devicePath.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
    if (!tty->valid()) {
        const int err = errno;
        if (err == ENOENT || err == ENODEV || err == ENXIO)
            return Status::Fail(E_VISA_RSRC_NFOUND, "No such device " + devicePath + ".");
        return Status::FromErrno(E_VISA_RSRC_NFOUND, "Cannot open " + devicePath, err);
    }
    termios attributes{};
    if (::tcgetattr(tty->get(), &attributes) != 0) {
        return Status::FromErrno(E_VISA_RSRC_NFOUND, devicePath + " is not a serial port", errno);
    }
    ToTermios(settings, &attributes);
    if (::tcsetattr(tty->get(), TCSANOW, &attributes) != 0) {
        return Status::FromErrno(E_VISA_INV_SETUP, "Cannot apply the line settings to " + devicePath, errno);
    }
    return Status::Ok();
}

Status SerialTransport::Open(const std::string& devicePath, const SerialSettings& settings,
                             std::unique_ptr<Transport>* transport) {
    std::unique_ptr<SerialTransport> opened(new SerialTransport(devicePath));
    if (Status status = OpenSerialPort(devicePath, settings, &opened->tty_); !status.ok()) return status;
    if (Status status = opened->Flush(TCIOFLUSH); !status.ok()) return status;
    *transport = std::move(opened);
    return Status::Ok();
}

Status SerialTransport::Flush(int queues) {
    received_.clear();
    stale_ = false;
    if (::tcflush(tty_.get(), queues) != 0) return Status::FromErrno(E_VISA_IO, "Cannot flush " + path_, errno);
    return Status::Ok();
}

Status SerialTransport::Write(const std::uint8_t* data, std::size_t size, bool /*end*/, Deadline deadline) {
    if (stale_) {
        if (Status status = Flush(TCIFLUSH); !status.ok()) return status;
    }
    return WriteAll(tty_.get(), data, size, deadline, path_);
}

Status SerialTransport::Read(const ReadRequest& request, Deadline deadline, ReadResult* result) {
    *result = ReadResult{};
    std::size_t filled = 0;
    while (!received_.Completes(request, &filled, &result->end)) {
        if (Status status = received_.ReadFrom(tty_.get(), kReceiveChunk, deadline, path_); !status.ok()) {
            if (status.code == E_VISA_TMO) stale_ = true;
            return status;
        }
    }
    result->count = filled;
    return Status::Ok();
}

Status SerialTransport::Clear(Deadline /*deadline*/) { return Flush(TCIOFLUSH); }

}  // namespace visa
