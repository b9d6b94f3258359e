#pragma once

#include <cstddef>
#include <string>

namespace emulator {

// Blocking socket helpers that retry on EINTR and never raise SIGPIPE.
bool WriteAll(int fd, const void* data, std::size_t size);
inline bool WriteAll(int fd, const std::string& data) { return WriteAll(fd, data.data(), data.size()); }
// Returns the byte count, 0 at end of stream, -1 on error.
long ReadSome(int fd, void* buffer, std::size_t size);
bool ReadExact(int fd, void* buffer, std::size_t size);

// A listening TCP socket (port 0: ephemeral) or a bound UDP socket; -1 on
// failure with `error` set.
int ListenTcp(const std::string& address, int port, std::string* error);
int BindUdp(const std::string& address, int port, std::string* error);
int LocalPort(int fd);
void SetNoDelay(int fd);

}  // namespace emulator
