// The per-user settings store: the registry under HKEY_CURRENT_USER on
// Windows; natively a file-backed store with the same keys, value names and
// types (REG_DWORD, REG_SZ, REG_BINARY). Key paths use backslashes, relative
// to the user root, e.g. "Software\\Quisto\\MorvexVelsaTEC3T2Sdk\\Camera_00".
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace morvex::platform {

enum class ValueType : uint32_t { kNone = 0, kString = 1, kBinary = 3, kDword = 4 };

class SettingsKey {
 public:
  SettingsKey();
  ~SettingsKey();  // closes the key
  SettingsKey(SettingsKey&&) noexcept;
  SettingsKey& operator=(SettingsKey&&) noexcept;
  SettingsKey(const SettingsKey&) = delete;
  SettingsKey& operator=(const SettingsKey&) = delete;

  // RegOpenKeyEx: false when the key does not exist.
  bool Open(const std::string& path);
  // RegCreateKeyEx: opens or creates; `created` reports which.
  bool Create(const std::string& path, bool* created = nullptr);
  void Close();
  bool is_open() const;

  bool QueryDword(const char* name, uint32_t* value) const;
  bool SetDword(const char* name, uint32_t value);
  bool QueryString(const char* name, std::string* value) const;
  bool SetString(const char* name, const std::string& value);
  // Reads at most `capacity` bytes; `size` receives the stored size. Fails
  // (reading nothing) when the value is larger than capacity.
  bool QueryBinary(const char* name, void* data, uint32_t capacity, uint32_t* size) const;
  bool SetBinary(const char* name, const void* data, uint32_t size);
  // The stored type, kNone when the value does not exist.
  ValueType TypeOf(const char* name) const;
  bool DeleteValue(const char* name);

  // Deletes a key and all its subkeys (tests and tools).
  static bool DeleteTree(const std::string& path);

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// Native builds only: the file that backs the store. Defaults to
// $HOME/.morvex/settings.reg; tests point it at a private file.
void SetSettingsStoreFile(const std::string& path);
std::string SettingsStoreFile();

}  // namespace morvex::platform
