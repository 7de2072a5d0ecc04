// The file the running process was started from (GetModuleFileNameA of the
// process module; /proc/self/exe natively).
#pragma once

#include <string>

namespace morvex::platform {

// Full path of the host executable; empty when the system cannot tell.
std::string HostExecutablePath();

}  // namespace morvex::platform
