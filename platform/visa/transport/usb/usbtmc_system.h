// The system calls the USBTMC transport makes on /dev/usbtmcN, behind an
// interface so that a model of the kernel driver can stand in for it, and
// where USB instruments are looked for.
#pragma once

#include <poll.h>
#include <sys/types.h>

#include <cstddef>
#include <optional>
#include <string>

namespace visa {

// Each call returns what the system call of its name returns and sets errno
// the same way.
class UsbtmcSystem {
public:
    virtual ~UsbtmcSystem() = default;
    virtual int Open(const std::string& path, int flags) = 0;
    virtual int Close(int fd) = 0;
    virtual ssize_t Read(int fd, void* buffer, std::size_t count) = 0;
    virtual ssize_t Write(int fd, const void* data, std::size_t count) = 0;
    virtual int Ioctl(int fd, unsigned long request, void* argument) = 0;
    virtual int Poll(pollfd* entries, nfds_t count, int timeoutMs) = 0;
};

// The running kernel.
UsbtmcSystem& KernelUsbtmcSystem();

struct UsbtmcHost {
    UsbtmcSystem* system = &KernelUsbtmcSystem();
    std::string sysRoot = "/sys";
    std::string devRoot = "/dev";
};

// The host resources are opened on: this machine's, unless a test put a
// model in its place; nullopt restores this machine's.
UsbtmcHost CurrentUsbtmcHost();
void SetUsbtmcHost(std::optional<UsbtmcHost> host);

}  // namespace visa
