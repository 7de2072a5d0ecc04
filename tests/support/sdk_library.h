// The shipped library loaded by name at run time, the way an application
// loads it, and its exports found by name.
#pragma once

#include <gtest/gtest.h>

#include <string>

namespace morvex::test {

// The keys the library and its emulator read in this program's test
// namespace.
const std::string& SdkKey();
const std::string& EmulatorKey();

class SdkLibrary {
 public:
  explicit SdkLibrary(const char* path);
#ifdef MORVEX_LIBRARY_PATH
  // The library the program was built to load (morvex_test_loads_sdk).
  SdkLibrary() : SdkLibrary(MORVEX_LIBRARY_PATH) {}
#endif
  // Kept loaded unless unloaded explicitly: the library's process-wide
  // objects and threads stay reachable until exit.
  ~SdkLibrary() = default;
  SdkLibrary(const SdkLibrary&) = delete;
  SdkLibrary& operator=(const SdkLibrary&) = delete;

  // Frees the library (Win32); natively it stays mapped.
  void Unload();
  bool loaded() const { return module_ != nullptr; }
  // The export's address; null when it is missing.
  void* Find(const char* name) const;
  // The export as a function pointer; a missing one fails the test.
  template <typename Function>
  Function* Get(const char* name) const {
    void* address = Find(name);
    if (address == nullptr) ADD_FAILURE() << name << " is not exported";
    return reinterpret_cast<Function*>(address);
  }

 private:
  void* module_ = nullptr;
};

}  // namespace morvex::test

// `name` as a local function pointer to the export of that name.
#define MORVEX_EXPORT(library, name) decltype(::name)* name = (library).Get<decltype(::name)>(#name)
