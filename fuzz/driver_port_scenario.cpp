#include "driver_port_scenario.h"

#include <chrono>
#include <memory>
#include <thread>
#include <vector>

#include "camera/morvex.h"
#include "device/morvex_usb3t2_simple_sdk.h"
#include "platform/settings_store.h"

namespace morvex::fuzz {

void RunScenario(platform::DriverPort& port, platform::Clock& clock, const Scenario& scenario,
                 const std::function<bool(int64_t frames)>& previewing, uint32_t preview_limit_ms) {
  // Every run starts from no stored settings.
  platform::SettingsKey::DeleteTree(settings::BaseKey());
  CMorvex::Environment environment;
  environment.make_device = [&port, &clock]() -> std::unique_ptr<CMorvexZ3U2Base> {
    return std::make_unique<CMorvexUSB3T2SimpleSdk>(port, clock);
  };
  environment.register_notices = [](platform::WindowHandle, const platform::Guid&) { return true; };
  auto camera = std::make_unique<CMorvex>(clock, environment);

  camera->Initialize(nullptr);

  if (scenario.steps & 1) camera->SetSubSample(1);
  static const int32_t kDepths[] = {8, 16, 24, 32, 48, 64};
  if (scenario.steps & 16) camera->SetColorMode(kDepths[scenario.colour % 6]);

  // Room for the largest image of every colour mode.
  std::vector<uint8_t> buffer(static_cast<size_t>(CMorvex::kSensorWidth) * CMorvex::kSensorHeight * 8);
  const int32_t size = static_cast<int32_t>(buffer.size());
  if (scenario.steps & 2) camera->SnapShot(buffer.data(), size, scenario.colour & 1);
  if (scenario.steps & 4) {
    if (camera->CallBackPreview(nullptr, buffer.data(), size, 0)) {
      const auto start = std::chrono::steady_clock::now();
      while (std::chrono::steady_clock::now() - start < std::chrono::milliseconds(preview_limit_ms)) {
        CMorvexZ3U2Base* device = camera->device();
        // A frame thread that gave up delivers nothing more.
        if (device == nullptr || !device->running() ||
            !previewing(static_cast<int64_t>(device->frames_produced())))
          break;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
      }
      camera->StopPreview();
    }
  }
  if (scenario.steps & 8) {
    if (camera->Capture()) camera->SnapShot(buffer.data(), size, 1);
    camera->GetImage(buffer.data(), size, 0);
    camera->StopPreview();
  }
  camera->Close();
  while (camera->PopError() != 0) {
  }
  camera.reset();
  platform::SettingsKey::DeleteTree(settings::BaseKey());
}

}  // namespace morvex::fuzz
