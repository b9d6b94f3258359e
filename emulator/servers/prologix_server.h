#pragma once

#include <atomic>
#include <string>
#include <thread>

#include "emulator/servers/prologix_front.h"
#include "emulator/servers/tcp_listener.h"

namespace emulator {

// The instrument on a GPIB bus behind Prologix controllers: a GPIB-ETHERNET
// on a TCP port and a GPIB-USB on a pseudo-terminal, each started on request.
class PrologixServer {
public:
    PrologixServer(Instrument& instrument, Recorder& recorder, std::atomic<int>& connections, int gpibAddress);
    ~PrologixServer() { Stop(); }
    PrologixServer(const PrologixServer&) = delete;
    PrologixServer& operator=(const PrologixServer&) = delete;

    bool StartEthernet(const std::string& address, int port, std::string* error);
    // The terminal stays open on this side, so that clients may come and go.
    bool StartUsb(std::string* error);
    void Stop();

    int Port() const { return listener_.Port(); }
    const std::string& PtyPath() const { return ptyPath_; }
    PrologixTranscript& transcript() { return transcript_; }

private:
    void ServeUsb();

    PrologixTranscript transcript_;
    PrologixFront ethernet_;
    PrologixFront usb_;
    std::atomic<int>& connections_;
    TcpListener listener_;
    std::atomic<bool> stopping_{false};
    int master_ = -1;
    int slave_ = -1;
    std::string ptyPath_;
    std::thread usbThread_;
};

}  // namespace emulator
