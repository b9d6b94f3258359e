#include "emulator/servers/serving_thread.h"

#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>

namespace emulator {

void ServingThread::Start(std::function<void()> serve, int fallback) {
    wakeFd_ = eventfd(0, EFD_CLOEXEC);
    fallback_ = fallback;
    thread_ = std::thread(std::move(serve));
}

void ServingThread::Stop() {
    if (!thread_.joinable()) return;
    std::uint64_t one = 1;
    if (write(wakeFd_, &one, sizeof one) < 0) shutdown(fallback_, SHUT_RDWR);
    thread_.join();
    close(wakeFd_);
    wakeFd_ = fallback_ = -1;
}

}  // namespace emulator
