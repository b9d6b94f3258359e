#include "emulator/servers/socket_io.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace emulator {

namespace {

bool MakeAddress(const std::string& address, int port, sockaddr_in* out, std::string* error) {
    std::memset(out, 0, sizeof *out);
    out->sin_family = AF_INET;
    out->sin_port = htons(static_cast<uint16_t>(port));
    if (inet_pton(AF_INET, address.c_str(), &out->sin_addr) != 1) {
        if (error) *error = "not an IPv4 address: " + address;
        return false;
    }
    return true;
}

int BoundSocket(int type, const std::string& address, int port, std::string* error) {
    sockaddr_in addr;
    if (!MakeAddress(address, port, &addr, error)) return -1;
    int fd = socket(AF_INET, type | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        if (error) *error = std::string("socket: ") + std::strerror(errno);
        return -1;
    }
    int on = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    if (bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        if (error) *error = "bind " + address + ":" + std::to_string(port) + ": " + std::strerror(errno);
        close(fd);
        return -1;
    }
    return fd;
}

}  // namespace

bool WriteAll(int fd, const void* data, std::size_t size) {
    const char* p = static_cast<const char*>(data);
    while (size > 0) {
        ssize_t n = send(fd, p, size, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        p += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

long ReadSome(int fd, void* buffer, std::size_t size) {
    for (;;) {
        ssize_t n = recv(fd, buffer, size, 0);
        if (n < 0 && errno == EINTR) continue;
        return static_cast<long>(n);
    }
}

bool ReadExact(int fd, void* buffer, std::size_t size) {
    char* p = static_cast<char*>(buffer);
    while (size > 0) {
        long n = ReadSome(fd, p, size);
        if (n <= 0) return false;
        p += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

int ListenTcp(const std::string& address, int port, std::string* error) {
    int fd = BoundSocket(SOCK_STREAM, address, port, error);
    if (fd >= 0 && listen(fd, 16) != 0) {
        if (error) *error = std::string("listen: ") + std::strerror(errno);
        close(fd);
        return -1;
    }
    return fd;
}

int BindUdp(const std::string& address, int port, std::string* error) {
    return BoundSocket(SOCK_DGRAM, address, port, error);
}

int LocalPort(int fd) {
    sockaddr_in addr{};
    socklen_t len = sizeof addr;
    if (getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) != 0) return 0;
    return ntohs(addr.sin_port);
}

void SetNoDelay(int fd) {
    int on = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
}

}  // namespace emulator
