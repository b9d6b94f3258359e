// The module's lock count: live objects plus class-factory locks. The library
// may be unloaded only when it is zero.
#pragma once

namespace ztv {

void ModuleLock();
void ModuleUnlock();
long ModuleLockCount();

}  // namespace ztv
