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
  if (store_.LoadFormat(selection_.device(), ColorCapabilities(), &size)) format_.set_size(size);
}

void CMorvex::LoadPerCameraValues() {
  settings::FormatValues format{0, format_.color_mode, format_.subsample, format_.wait_time_ms,
                                format_.clock};
  const settings::ColorCapabilities caps = ColorCapabilities();
  if (!store_.LoadColorAndTiming(selection_.device(), device_ != nullptr ? &caps : nullptr, &format)) return;
  format_.color_mode = format.color;
  format_.subsample = format.subsample;
  format_.wait_time_ms = format.wait_time;
  format_.clock = format.clock;
}

settings::AnalogueRecord CMorvex::analogue_settings() const {
  std::lock_guard<std::mutex> lock(settings_lock_);
  return analogue_;
}

ImageSettings CMorvex::image_settings() const {
  std::lock_guard<std::mutex> lock(settings_lock_);
  return image_;
}

void CMorvex::ApplyAnalogueRecord(const settings::AnalogueRecord& record) {
  std::lock_guard<std::mutex> lock(settings_lock_);
  analogue_ = record;
}

void CMorvex::LoadCameraSettings(int32_t camera) {
  ImageSettings image = image_settings();
  store_.LoadImage(camera, &image);
  store_.LoadGrey(camera, &image);
  {
    std::lock_guard<std::mutex> lock(settings_lock_);
    image_ = image;
  }

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
  settings::AnalogueRecord record = analogue_settings();
  store_.LoadAnalogue(camera, defaults, &record);
  ApplyAnalogueRecord(record);
}

void CMorvex::SaveCameraSettings(int32_t camera) {
  store_.SaveAnalogue(camera, analogue_settings());
  const ImageSettings image = image_settings();
  store_.SaveImage(camera, image);
  store_.SaveGrey(camera, image);
}

void CMorvex::SendCachedCameraSettings() {
  CMorvexZ3U2Base& device = *device_;
  device.SetGain(analogue_.global);
  device.SetGainGreen1(analogue_.color_g1);
  device.SetGainRed(analogue_.color_r);
  device.SetGainBlue(analogue_.color_b);
  device.SetGainGreen2(analogue_.color_g2);
  if (device.HasRealExposureTime() == 1)
    device.SetRealExposureTime(analogue_.exposure_ex);
  else
    device.SetExposureTime(analogue_.exposure & 0xFFFF);
  device.SetMirrorV(analogue_.mirror_v);
  device.SetMirrorH(analogue_.mirror_h);
  if (device.HasBlackLevel() == 1) device.SetBlackLevel(analogue_.black_level);
  if (device.HasCooler() == 1) {
    device.SetCooler(1);
    cooler_ = 1;
  }
  if (device.HasAuxiliarySwitch() == 1) {
    device.SetAuxiliarySwitch(0);
    aux_switch_ = 0;
  }
  if (device.HasGainLevel() == 1) device.SetGainLevel(analogue_.gain_mode);
}

}  // namespace morvex
