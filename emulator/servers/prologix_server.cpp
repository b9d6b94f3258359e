#include "emulator/servers/prologix_server.h"

#include <fcntl.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace emulator {

PrologixServer::PrologixServer(Instrument& instrument, Recorder& recorder, std::atomic<int>& connections,
                               int gpibAddress)
    : ethernet_(instrument, recorder, transcript_,
                {"Prologix GPIB-ETHERNET Controller version 01.06.06.00", gpibAddress}),
      usb_(instrument, recorder, transcript_, {"Prologix GPIB-USB Controller version 6.107", gpibAddress}),
      connections_(connections),
      listener_(connections) {}

bool PrologixServer::StartEthernet(const std::string& address, int port, std::string* error) {
    return listener_.Start(
        address, port,
        [this](int fd, int connection) { ethernet_.Serve(fd, connection, [this] { return stopping_.load(); }); },
        error);
}

bool PrologixServer::StartUsb(std::string* error) {
    char name[256] = {};
    if (openpty(&master_, &slave_, name, nullptr, nullptr) != 0) {
        *error = std::string("openpty: ") + std::strerror(errno);
        return false;
    }
    fcntl(master_, F_SETFD, FD_CLOEXEC);
    fcntl(slave_, F_SETFD, FD_CLOEXEC);
    // Raw from the start: no echo of what the host sends before it sets the line up.
    termios attributes{};
    tcgetattr(slave_, &attributes);
    cfmakeraw(&attributes);
    tcsetattr(slave_, TCSANOW, &attributes);
    ptyPath_ = name;
    usbThread_ = std::thread([this] { ServeUsb(); });
    return true;
}

void PrologixServer::ServeUsb() {
    // A dropped "connection" on a serial line is a restart of the adapter.
    while (!usb_.Serve(master_, ++connections_, [this] { return stopping_.load(); })) {
    }
}

void PrologixServer::Stop() {
    stopping_ = true;
    listener_.Stop();
    if (usbThread_.joinable()) usbThread_.join();
    if (master_ >= 0) close(master_);
    if (slave_ >= 0) close(slave_);
    master_ = slave_ = -1;
    ptyPath_.clear();
}

}  // namespace emulator
