#include "platform/settings_store.h"

namespace morvex::platform {
struct SettingsKey::Impl {};
SettingsKey::SettingsKey() = default;
SettingsKey::~SettingsKey() = default;
SettingsKey::SettingsKey(SettingsKey&&) noexcept = default;
SettingsKey& SettingsKey::operator=(SettingsKey&&) noexcept = default;
bool SettingsKey::Open(const std::string&) { return false; }
bool SettingsKey::Create(const std::string&, bool* created) {
  if (created) *created = false;
  return false;
}
void SettingsKey::Close() {}
bool SettingsKey::is_open() const { return false; }
bool SettingsKey::QueryDword(const char*, uint32_t*) const { return false; }
bool SettingsKey::SetDword(const char*, uint32_t) { return false; }
bool SettingsKey::QueryString(const char*, std::string*) const { return false; }
bool SettingsKey::SetString(const char*, const std::string&) { return false; }
bool SettingsKey::QueryBinary(const char*, void*, uint32_t, uint32_t*) const { return false; }
bool SettingsKey::SetBinary(const char*, const void*, uint32_t) { return false; }
ValueType SettingsKey::TypeOf(const char*) const { return ValueType::kNone; }
bool SettingsKey::DeleteValue(const char*) { return false; }
bool SettingsKey::DeleteTree(const std::string&) { return false; }
void SetSettingsStoreFile(const std::string&) {}
std::string SettingsStoreFile() { return std::string(); }
}  // namespace morvex::platform
