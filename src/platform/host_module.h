// The file the running process was started from (GetModuleFileNameA of the
// process module; /proc/self/exe natively).
#pragma once

#include <cstdint>
#include <string>

namespace morvex::platform {

// Full path of the host executable; empty when the system cannot tell.
std::string HostExecutablePath();

// Keeps the module this code lives in (the SDK's DLL) loaded until the
// process ends, whatever the application unloads. Needed before starting
// threads that run until the process ends: code unloaded under a running
// thread crashes the process. Natively nothing is unloaded under them.
void KeepModuleLoaded();

// A resource of the module this code lives in, by numeric name and type
// (FindResourceA, LoadResource, LockResource, SizeofResource): its bytes stay
// valid while the module is loaded. False when there is no such resource,
// and always natively, where modules carry none.
bool ModuleResource(int name, const char* type, const uint8_t** data, uint32_t* size);

}  // namespace morvex::platform
