#include "platform/visa/transport/usb/usbtmc_system.h"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <mutex>

namespace visa {
namespace {

class KernelSystem final : public UsbtmcSystem {
public:
    int Open(const std::string& path, int flags) override { return ::open(path.c_str(), flags); }
    int Close(int fd) override { return ::close(fd); }
    ssize_t Read(int fd, void* buffer, std::size_t count) override { return ::read(fd, buffer, count); }
    ssize_t Write(int fd, const void* data, std::size_t count) override { return ::write(fd, data, count); }
    int Ioctl(int fd, unsigned long request, void* argument) override { return ::ioctl(fd, request, argument); }
    int Poll(pollfd* entries, nfds_t count, int timeoutMs) override { return ::poll(entries, count, timeoutMs); }
};

std::mutex hostMutex;
std::optional<UsbtmcHost> replacedHost;

}  // namespace

UsbtmcSystem& KernelUsbtmcSystem() {
    static KernelSystem system;
    return system;
}

UsbtmcHost CurrentUsbtmcHost() {
    std::lock_guard<std::mutex> lock(hostMutex);
    return replacedHost.value_or(UsbtmcHost{});
}

void SetUsbtmcHost(std::optional<UsbtmcHost> host) {
    std::lock_guard<std::mutex> lock(hostMutex);
    replacedHost = std::move(host);
}

}  // namespace visa
