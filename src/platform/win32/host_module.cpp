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

bool ModuleResource(int name, const char* type, const uint8_t** data, uint32_t* size) {
  HMODULE module = nullptr;
  if (!GetModuleHandleExA(
          GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
          reinterpret_cast<LPCSTR>(&ModuleResource), &module))
    return false;
  HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(name), type);
  if (found == nullptr) return false;
  HGLOBAL loaded = LoadResource(module, found);
  const void* bytes = loaded != nullptr ? LockResource(loaded) : nullptr;
  if (bytes == nullptr) return false;
  *data = static_cast<const uint8_t*>(bytes);
  *size = SizeofResource(module, found);
  return true;
}

}  // namespace morvex::platform
