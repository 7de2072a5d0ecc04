// The stored settings as read back: a settings store seeded from the input
// (values of the right and wrong types and sizes, missing and extra values,
// absurd numbers) under every key the instance reads, then initialisation,
// the selection of a camera and, when asked, one snapshot of an emulated
// camera. Layout: a steps byte, a camera byte, then records of
// key, name, type, length and data.
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "camera/morvex.h"
#include "device/morvex_usb3t2_simple_sdk.h"
#include "emulator/emulator.h"
#include "fuzz_support.h"
#include "platform/settings_store.h"

namespace {

using namespace morvex;

const char* const kKeys[] = {
    "",
    "Size_00",
    "Size_01",
    "Size_02",
    "Size_99",
    "Size_100",
    "Camera_00",
    "Camera_01",
    "Camera_-1",
    "Camera_00\\Size_00",
    "Camera_00\\Size_01",
    "Camera_00\\Gain",
    "Camera_00\\Filter",
    "Camera_00\\Gray",
    "Camera_-1\\Gain",
    "Camera_01\\Size_00",
};
const char* const kNames[] = {
    "Size",       "Color",     "SubSample", "WaitTime",   "Clock",     "TH",       "TV",         "EH",
    "EV",         "EHS",       "EVS",       "Buf",        "Global",    "ColorG1",  "ColorR",     "ColorB",
    "ColorG2",    "Exposure",  "V_Mirror",  "H_Mirror",   "AutoIris",  "GainMode", "BlackLevel", "ExposureEx",
    "Brightness", "Contrast",  "Hue",       "Saturation", "Sharpness", "R_Gain",   "G_Gain",     "B_Gain",
    "Gamma",      "BayerMode", "Mode",      "GainR1",     "GainG1",    "GainG2",   "GainB1",     "OffsetR1",
    "OffsetG1",   "OffsetG2",  "OffsetB1",  "Extra",      "",
};

emulator::EmulatorPort& Port() {
  static emulator::EmulatorPort* port = [] {
    auto* made = new emulator::EmulatorPort();
    emulator::EmulatedCameraOptions options;
    options.scene = emulator::Scene::kRamp;
    made->AddCamera(options);
    made->AddCamera(options);
    return made;
  }();
  return *port;
}

// The device object's pauses (register writes, EEPROM cycles, readiness
// polls) pass at once; frames still come on the emulator's own clock.
morvex::platform::Clock& DeviceClock() {
  static morvex::platform::SimulatedClock clock;
  return clock;
}

void Seed(fuzz::FuzzInput& in, const std::string& base) {
  for (int record = 0; record < 96 && !in.empty(); ++record) {
    const std::string relative = kKeys[in.Byte() % (sizeof(kKeys) / sizeof(kKeys[0]))];
    const char* name = kNames[in.Byte() % (sizeof(kNames) / sizeof(kNames[0]))];
    const uint8_t type = in.Byte();
    platform::SettingsKey key;
    if (!key.Create(relative.empty() ? base : base + "\\" + relative)) continue;
    switch (type % 4) {
      case 0:
      case 1:
        key.SetDword(name, static_cast<uint32_t>(in.Value()));
        break;
      case 2: {
        const std::vector<uint8_t> bytes = in.Bytes(in.Byte() % 24);
        key.SetBinary(name, bytes.data(), static_cast<uint32_t>(bytes.size()));
        break;
      }
      default: {
        const std::vector<uint8_t> bytes = in.Bytes(in.Byte() % 24);
        key.SetString(name, std::string(bytes.begin(), bytes.end()));
        break;
      }
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzz::UsePrivateScratch("settings");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz::FuzzInput in(data, size);
  const uint8_t steps = in.Byte();
  const int32_t camera_number = static_cast<int32_t>(in.Byte() % 4) - 1;
  const std::string base = settings::BaseKey();
  platform::SettingsKey::DeleteTree(base);
  Seed(in, base);

  CMorvex::Environment environment;
  environment.make_device = []() -> std::unique_ptr<CMorvexZ3U2Base> {
    return std::make_unique<CMorvexUSB3T2SimpleSdk>(Port(), DeviceClock());
  };
  environment.register_notices = [](platform::WindowHandle, const platform::Guid&) { return true; };
  auto camera = std::make_unique<CMorvex>(platform::SystemClock(), environment);
  camera->Initialize(nullptr);
  camera->SetDeviceNumber(camera_number);
  int32_t values[6];
  camera->GetCaptureWindowEx(&values[0], &values[1], &values[2], &values[3], &values[4], &values[5]);
  CameraInfoRecord info{};
  info.size = sizeof(info);
  camera->GetCameraInfo(&info);
  if (steps & 1) {
    std::vector<uint8_t> buffer(static_cast<size_t>(CMorvex::kSensorWidth) * CMorvex::kSensorHeight * 8);
    camera->SnapShot(buffer.data(), static_cast<int32_t>(buffer.size()), steps & 2);
  }
  if (steps & 4) camera->SetDeviceNumber(1 - camera_number);
  camera->Close();
  camera.reset();
  platform::SettingsKey::DeleteTree(base);
  return 0;
}
