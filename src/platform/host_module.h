// The file the running process was started from (GetModuleFileNameA of the
// process module; /proc/self/exe natively).
#pragma once

#include <string>

namespace morvex::platform {

// Full path of the host executable; empty when the system cannot tell.
std::string HostExecutablePath();

// Keeps the module this code lives in (the SDK's DLL) loaded until the
// process ends, whatever the application unloads. Needed before starting
// threads that run until the process ends: code unloaded under a running
// thread crashes the process. Natively nothing is unloaded under them.
void KeepModuleLoaded();

}  // namespace morvex::platform
