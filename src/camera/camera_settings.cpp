#include "camera/morvex.h"
#include "device/morvex_usb3t2_simple_sdk.h"
#include "sensors/sensor_factory.h"

namespace morvex {

// --- Settings persistence -------------------------------------------------------------

settings::ColorCapabilities CMorvex::ColorCapabilities() const {
  settings::ColorCapabilities caps;
  if (device_ != nullptr && device_->sensor() != nullptr) {
    caps.setting0 = device_->SupportsColorSetting0() == 1;
    caps.setting1 = device_->SupportsColorSetting1() == 1;
    caps.setting2 = device_->SupportsColorSetting2() == 1;
    return caps;
  }
  // No camera open yet: ask the sensor class of this model, which answers
  // without touching hardware.
  const std::unique_ptr<CSensorBase> probe = CreateSensor(kProductId, nullptr, clock_);
  if (probe != nullptr) {
    caps.setting0 = probe->SupportsColorSetting0() == 1;
    caps.setting1 = probe->SupportsColorSetting1() == 1;
    caps.setting2 = probe->SupportsColorSetting2() == 1;
  }
  return caps;
}

void CMorvex::LoadSizeSettings() {
  settings::SizeEntry size = format_.size();
  if (stored_.store.LoadFormat(selection_.device(), ColorCapabilities(), &size)) format_.set_size(size);
}

void CMorvex::LoadPerCameraValues() {
  settings::FormatValues format{0, format_.color_mode, format_.subsample, format_.wait_time_ms,
                                format_.clock};
  const settings::ColorCapabilities caps = ColorCapabilities();
  if (!stored_.store.LoadColorAndTiming(selection_.device(), device_ != nullptr ? &caps : nullptr, &format))
    return;
  format_.color_mode = format.color;
  format_.subsample = format.subsample;
  format_.wait_time_ms = format.wait_time;
  format_.clock = format.clock;
}

void CMorvex::LoadCameraSettings(int32_t camera) {
  settings::AnalogueDefaults defaults;
  if (device_ != nullptr) {
    device_->GetGainDefault(&defaults.gain);
    device_->GetColorGainDefault(&defaults.color_gain);
    device_->GetExposureTimeDefault(&defaults.exposure);
    defaults.mirror_v = device_->GetMirrorVDefault();
    defaults.mirror_h = device_->GetMirrorHDefault();
    device_->GetBlackLevelDefault(&defaults.black_level);
    defaults.has_real_exposure = device_->HasRealExposureTime() == 1;
    if (defaults.has_real_exposure) device_->GetRealExposureTimeDefault(&defaults.real_exposure);
  }
  stored_.Load(camera, defaults);
}

void CMorvex::SaveCameraSettings(int32_t camera) { stored_.Save(camera); }

void CMorvex::SendCachedCameraSettings() {
  CMorvexZ3U2Base& device = *device_;
  device.SetGain(stored_.analogue.global);
  device.SetGainGreen1(stored_.analogue.color_g1);
  device.SetGainRed(stored_.analogue.color_r);
  device.SetGainBlue(stored_.analogue.color_b);
  device.SetGainGreen2(stored_.analogue.color_g2);
  if (device.HasRealExposureTime() == 1)
    device.SetRealExposureTime(stored_.analogue.exposure_ex);
  else
    device.SetExposureTime(stored_.analogue.exposure & 0xFFFF);
  device.SetMirrorV(stored_.analogue.mirror_v);
  device.SetMirrorH(stored_.analogue.mirror_h);
  if (device.HasBlackLevel() == 1) device.SetBlackLevel(stored_.analogue.black_level);
  if (device.HasCooler() == 1) {
    device.SetCooler(1);
    stored_.cooler = 1;
  }
  if (device.HasAuxiliarySwitch() == 1) {
    device.SetAuxiliarySwitch(0);
    stored_.aux_switch = 0;
  }
  if (device.HasGainLevel() == 1) device.SetGainLevel(stored_.analogue.gain_mode);
}

}  // namespace morvex
