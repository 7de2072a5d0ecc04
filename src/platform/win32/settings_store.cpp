// The per-user settings store on Windows: the registry under
// HKEY_CURRENT_USER.
#include "platform/settings_store.h"

#include <windows.h>

#include <cstring>

namespace morvex::platform {

struct SettingsKey::Impl {
  HKEY key = nullptr;
  ~Impl() {
    if (key) RegCloseKey(key);
  }
};

namespace {

// Reads a value into `buffer`; reports its type and size. Returns the
// registry's result (ERROR_MORE_DATA when the buffer is too small).
LONG QueryRaw(HKEY key, const char* name, DWORD* type, void* buffer, DWORD* size) {
  return RegQueryValueExA(key, name, nullptr, type, static_cast<BYTE*>(buffer), size);
}

bool ValidPath(const std::string& path) {
  // The registry refuses a leading backslash; empty components are refused
  // here as well so that "a\\\\b" does not quietly mean "a\\b".
  if (path.empty() || path[0] == '\\') return false;
  return path.find("\\\\") == std::string::npos;
}

}  // namespace

SettingsKey::SettingsKey() = default;
SettingsKey::~SettingsKey() = default;
SettingsKey::SettingsKey(SettingsKey&&) noexcept = default;
SettingsKey& SettingsKey::operator=(SettingsKey&&) noexcept = default;

bool SettingsKey::Open(const std::string& path) {
  Close();
  if (!ValidPath(path)) return false;
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) return false;
  impl_ = std::make_unique<Impl>();
  impl_->key = key;
  return true;
}

bool SettingsKey::Create(const std::string& path, bool* created) {
  Close();
  if (created) *created = false;
  if (!ValidPath(path)) return false;
  HKEY key = nullptr;
  DWORD disposition = 0;
  if (RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                      nullptr, &key, &disposition) != ERROR_SUCCESS)
    return false;
  impl_ = std::make_unique<Impl>();
  impl_->key = key;
  if (created) *created = disposition == REG_CREATED_NEW_KEY;
  return true;
}

void SettingsKey::Close() { impl_.reset(); }

bool SettingsKey::is_open() const { return impl_ != nullptr; }

bool SettingsKey::QueryDword(const char* name, uint32_t* value) const {
  if (!impl_ || !name || !value) return false;
  DWORD type = REG_NONE;
  DWORD number = 0;
  DWORD size = sizeof number;
  // A value of another type is not taken for a number.
  if (QueryRaw(impl_->key, name, &type, &number, &size) != ERROR_SUCCESS || type != REG_DWORD ||
      size != sizeof number)
    return false;
  *value = number;
  return true;
}

bool SettingsKey::SetDword(const char* name, uint32_t value) {
  if (!impl_ || !name) return false;
  const DWORD number = value;
  return RegSetValueExA(impl_->key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number),
                        sizeof number) == ERROR_SUCCESS;
}

bool SettingsKey::QueryString(const char* name, std::string* value) const {
  if (!impl_ || !name || !value) return false;
  for (int attempt = 0; attempt < 4; ++attempt) {  // the value may grow between the calls
    DWORD type = REG_NONE;
    DWORD size = 0;
    if (QueryRaw(impl_->key, name, &type, nullptr, &size) != ERROR_SUCCESS) return false;
    if (type != REG_SZ && type != REG_EXPAND_SZ) return false;
    std::string text(size + 1, '\0');
    LONG result = QueryRaw(impl_->key, name, &type, &text[0], &size);
    if (result == ERROR_MORE_DATA) continue;
    if (result != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) return false;
    // Stored strings need not carry their terminator.
    text.resize(size);
    const size_t end = text.find('\0');
    if (end != std::string::npos) text.resize(end);
    *value = text;
    return true;
  }
  return false;
}

bool SettingsKey::SetString(const char* name, const std::string& value) {
  if (!impl_ || !name) return false;
  return RegSetValueExA(impl_->key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                        static_cast<DWORD>(value.size() + 1)) == ERROR_SUCCESS;
}

bool SettingsKey::QueryBinary(const char* name, void* data, uint32_t capacity, uint32_t* size) const {
  if (!impl_ || !name || (!data && capacity > 0)) return false;
  DWORD type = REG_NONE;
  DWORD stored = 0;
  if (QueryRaw(impl_->key, name, &type, nullptr, &stored) != ERROR_SUCCESS) return false;
  if (size) *size = stored;
  if (stored > capacity) return false;
  // Read through a private buffer so a failure leaves the caller's untouched.
  std::string bytes(stored, '\0');
  DWORD read = stored;
  if (QueryRaw(impl_->key, name, &type, stored ? &bytes[0] : nullptr, &read) != ERROR_SUCCESS ||
      read > capacity)
    return false;
  if (read) std::memcpy(data, bytes.data(), read);
  if (size) *size = read;
  return true;
}

bool SettingsKey::SetBinary(const char* name, const void* data, uint32_t size) {
  if (!impl_ || !name || (!data && size > 0)) return false;
  return RegSetValueExA(impl_->key, name, 0, REG_BINARY, static_cast<const BYTE*>(data), size) ==
         ERROR_SUCCESS;
}

ValueType SettingsKey::TypeOf(const char* name) const {
  if (!impl_ || !name) return ValueType::kNone;
  DWORD type = REG_NONE;
  if (QueryRaw(impl_->key, name, &type, nullptr, nullptr) != ERROR_SUCCESS) return ValueType::kNone;
  switch (type) {
    case REG_SZ:
    case REG_EXPAND_SZ:
      return ValueType::kString;
    case REG_DWORD:
      return ValueType::kDword;
    case REG_BINARY:
      return ValueType::kBinary;
    default:
      return ValueType::kNone;
  }
}

bool SettingsKey::DeleteValue(const char* name) {
  if (!impl_ || !name) return false;
  return RegDeleteValueA(impl_->key, name) == ERROR_SUCCESS;
}

bool SettingsKey::DeleteTree(const std::string& path) {
  if (!ValidPath(path)) return false;
  return RegDeleteTreeA(HKEY_CURRENT_USER, path.c_str()) == ERROR_SUCCESS;
}

// The registry needs no backing file.
void SetSettingsStoreFile(const std::string&) {}
std::string SettingsStoreFile() { return std::string(); }

}  // namespace morvex::platform
