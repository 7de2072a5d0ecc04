#include "platform/host_module.h"

#include <limits.h>
#include <unistd.h>

namespace morvex::platform {

std::string HostExecutablePath() {
  char buffer[PATH_MAX];
  const ssize_t length = readlink("/proc/self/exe", buffer, sizeof(buffer) - 1);
  if (length <= 0) return std::string();
  return std::string(buffer, static_cast<size_t>(length));
}

void KeepModuleLoaded() {}

bool ModuleResource(int, const char*, const uint8_t**, uint32_t*) { return false; }

}  // namespace morvex::platform
