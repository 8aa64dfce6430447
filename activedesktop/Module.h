// The DLL's own bookkeeping: the count of live objects and server locks that
// decides DllCanUnloadNow.
#pragma once

namespace activedesktop {

void ModuleLock();
void ModuleUnlock();

}  // namespace activedesktop
