#include "platform/host_module.h"

#include <windows.h>

namespace morvex::platform {

std::string HostExecutablePath() {
  char buffer[MAX_PATH + 1];
  const DWORD length = GetModuleFileNameA(nullptr, buffer, MAX_PATH);
  // A full buffer means the name was cut: better no path than a wrong one.
  if (length == 0 || length >= MAX_PATH) return std::string();
  return std::string(buffer, length);
}

}  // namespace morvex::platform
