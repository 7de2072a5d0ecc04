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

void KeepModuleLoaded() {
  HMODULE module = nullptr;
  // Pinned: FreeLibrary no longer unloads it, and it needs no release.
  GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN,
                     reinterpret_cast<LPCSTR>(&KeepModuleLoaded), &module);
}

}  // namespace morvex::platform
