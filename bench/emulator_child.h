// The bundled emulator in a child process: the benchmark's resident memory
// and allocations are then the driver's alone, not the server's copies of
// each reply. The child is forked before the benchmark starts a thread and
// serves until the parent goes away.
#pragma once

#include <sys/types.h>

#include <string>

namespace bench {

class EmulatorChild {
public:
    EmulatorChild() = default;
    ~EmulatorChild();
    EmulatorChild(const EmulatorChild&) = delete;
    EmulatorChild& operator=(const EmulatorChild&) = delete;

    // Starts a socket server whose reply to `storedQuery` (a trace of
    // `points` points, reals in the short form or NR3) is stored text.
    bool Start(int points, bool shortReals, const char* storedQuery, std::string* error);
    int port() const { return port_; }
    // Forgets what was received so far.
    bool ClearReceived();
    // Everything received since the last clear, messages joined.
    bool TakeReceived(std::string* bytes);

private:
    pid_t pid_ = -1;
    int channel_ = -1;  // the parent's end of a socket pair to the child
    int port_ = 0;
};

}  // namespace bench
