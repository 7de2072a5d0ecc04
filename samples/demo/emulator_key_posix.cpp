#include "emulator_key.h"

#include <cstdint>

#include "platform/settings_store.h"

namespace {
constexpr const char kEmulatorKey[] = "Software\\Quisto\\MorvexEmulator";
}

extern "C" int demo_read_cameras(unsigned* value) {
  morvex::platform::SettingsKey key;
  uint32_t stored = 0;
  if (!key.Open(kEmulatorKey) || !key.QueryDword("Cameras", &stored)) return 0;
  *value = stored;
  return 1;
}

extern "C" int demo_write_cameras(unsigned value) {
  morvex::platform::SettingsKey key;
  return key.Create(kEmulatorKey) && key.SetDword("Cameras", value) ? 1 : 0;
}

extern "C" int demo_remove_cameras(void) {
  morvex::platform::SettingsKey key;
  return key.Open(kEmulatorKey) && key.DeleteValue("Cameras") ? 1 : 0;
}
