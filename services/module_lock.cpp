#include "services/module_lock.h"

#include <atomic>

namespace ztv {
namespace {
std::atomic<long> lockCount{0};
}

void ModuleLock() { lockCount.fetch_add(1, std::memory_order_relaxed); }
void ModuleUnlock() { lockCount.fetch_sub(1, std::memory_order_acq_rel); }
long ModuleLockCount() { return lockCount.load(std::memory_order_acquire); }

}  // namespace ztv
