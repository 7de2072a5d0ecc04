#include "sdk_library.h"

#include "platform/test_namespace.h"

#ifdef MORVEX_WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace morvex::test {

const std::string& SdkKey() {
  static const std::string key = platform::InTestNamespace("Software\\Quisto\\MorvexVelsaTEC3T2Sdk");
  return key;
}

const std::string& EmulatorKey() {
  static const std::string key = platform::InTestNamespace("Software\\Quisto\\MorvexEmulator");
  return key;
}

#ifdef MORVEX_WIN32
SdkLibrary::SdkLibrary(const char* path) : module_(reinterpret_cast<void*>(LoadLibraryA(path))) {}

void SdkLibrary::Unload() {
  if (module_ != nullptr) FreeLibrary(static_cast<HMODULE>(module_));
  module_ = nullptr;
}

void* SdkLibrary::Find(const char* name) const {
  if (module_ == nullptr) return nullptr;
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(module_), name));
}
#else
SdkLibrary::SdkLibrary(const char* path) : module_(dlopen(path, RTLD_NOW | RTLD_LOCAL)) {}

void SdkLibrary::Unload() {}

void* SdkLibrary::Find(const char* name) const { return module_ != nullptr ? dlsym(module_, name) : nullptr; }
#endif

}  // namespace morvex::test
