// Where the native backend keeps machine-wide named objects.
#pragma once

#include <string>

namespace morvex::platform::posix {

// A file name part made of `name`: characters outside [A-Za-z0-9._-] become
// '_' followed by their hex code, so distinct names stay distinct.
std::string EncodeName(const std::string& name);

// /tmp/morvex.<uid>.<kind>.<encoded name>.lock: per user, like the session
// namespace of Win32 kernel object names.
std::string LockFilePath(const std::string& name, const char* kind);

// The shm_open name of a shared mapping.
std::string SharedMemoryName(const std::string& name);

}  // namespace morvex::platform::posix
