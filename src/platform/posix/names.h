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

namespace morvex::platform::posix {

// Lock files may be removed by their last user, so a lock only counts when,
// once taken, the path still names the locked file.
bool StillNamed(int fd, const std::string& path);

// Opens `path` (creating it) and takes the flock `operation` on it, retrying
// when the file was removed meanwhile. Returns the descriptor or -1 (with
// errno EWOULDBLOCK when LOCK_NB found it taken).
int OpenLocked(const std::string& path, int operation);

// Removes the lock file when nobody else holds it, then closes `fd`.
void CloseAndRemoveIfUnused(int fd, const std::string& path);

}  // namespace morvex::platform::posix
