// The per-frame processing of the camera instance: one snapshot of the
// settings per frame, the frame pipeline, and the pipeline's host side
// (automatic exposure and gain to the device, measured balances kept).
#include <algorithm>
#include <cmath>
#include <cstring>

#include "camera/morvex.h"
#include "device/morvex_z3u2_base.h"
#include "imaging/dib_image.h"

namespace morvex {

namespace {

// Raw 16-bit camera data is right-aligned in 12 bits; the mask filter
// leaves it left-aligned.
constexpr int32_t kRawSignificantBits = 12;

class CameraFrameHost final : public imaging::FrameHost {
 public:
  CameraFrameHost(CMorvexZ3U2Base& device, PropertyDispatch& properties, StoredSettings& stored)
      : device_(device),
        properties_(properties),
        settings_lock_(stored.lock),
        analogue_(stored.analogue),
        image_(stored.image) {}

  bool DeviceMirrorsHorizontally() override { return device_.HasMirrorH() == 1; }
  bool DeviceMirrorsVertically() override { return device_.HasMirrorV() == 1; }

  void ApplyExposureFactor(int32_t auto_iris, double factor) override {
    if (auto_iris != 1 && auto_iris != 2) return;
    const auto device_lock = properties_.LockDevice();
    int32_t exposure, gain;
    {
      std::lock_guard<std::mutex> lock(settings_lock_);
      exposure = analogue_.exposure;
      gain = analogue_.global;
    }
    int32_t low = 0, high = 0;
    if (auto_iris == 1) {
      device_.GetExposureTimeMin(&low);
      device_.GetExposureTimeMax(&high);
      int32_t value = static_cast<uint16_t>(static_cast<int64_t>(exposure * factor));
      if (value == 0) value = 1;
      // From the shortest exposures the factor alone would never climb.
      if (factor > 1.0 && value <= exposure) value = exposure + 1;
      value = Clamped(value, low, high);
      if (!device_.SetExposureTime(value)) return;
      double seconds = 0.0;
      const bool has_seconds = device_.HasRealExposureTime() == 1 && device_.GetRealExposureTime(&seconds);
      std::lock_guard<std::mutex> lock(settings_lock_);
      analogue_.exposure = value;
      if (has_seconds) analogue_.exposure_ex = seconds;
    } else {
      device_.GetGainMin(&low);
      device_.GetGainMax(&high);
      int32_t value = static_cast<int32_t>(std::max(gain, 4) * factor);
      if (factor > 1.0) value = std::max(value, 4);
      value = Clamped(value, low, high);
      if (!device_.SetGain(value)) return;
      std::lock_guard<std::mutex> lock(settings_lock_);
      analogue_.global = analogue_.color_g1 = analogue_.color_r = analogue_.color_b = analogue_.color_g2 =
          value;
    }
  }
  void GreyGainsMeasured(const imaging::GreyGains& grey) override {
    std::lock_guard<std::mutex> lock(settings_lock_);
    image_.StoreMeasuredGrey(grey);
  }
  void BayerGainsMeasured(const imaging::BayerGains& gains) override {
    std::lock_guard<std::mutex> lock(settings_lock_);
    image_.StoreMeasuredBayer(gains);
  }

 private:
  // Below the range is its minimum; at or above the maximum is the maximum.
  static int32_t Clamped(int32_t value, int32_t low, int32_t high) {
    if (value < low) return low;
    if (value >= high) return std::max(low, high);
    return value;
  }

  CMorvexZ3U2Base& device_;
  PropertyDispatch& properties_;
  std::mutex& settings_lock_;
  settings::AnalogueRecord& analogue_;
  ImageSettings& image_;
};

}  // namespace

imaging::CDibImage* CMorvex::OutputImage() {
  if (prepared_color_mode_ < 0 || prepared_color_mode_ > 5) return nullptr;
  return ImageSet().OutputFor(prepared_color_mode_);
}

bool CMorvex::ProcessFrame() {
  if (device_ == nullptr) return false;
  imaging::FrameSettings settings;
  {
    std::lock_guard<std::mutex> lock(stored_.lock);
    settings.colour_mode = prepared_color_mode_;
    settings.auto_iris = stored_.analogue.auto_iris;
    stored_.image.ToFrameSettings(&settings);
    settings.mirror_h = stored_.analogue.mirror_h != 0;
    settings.mirror_v = stored_.analogue.mirror_v != 0;
  }
  settings.window_x = format_.x;
  settings.window_y = format_.y;
  const imaging::FrameImages set = ImageSet();
  imaging::CDibImage* raw = set.RawFor(settings.colour_mode);
  if (raw != nullptr) raw->set_significant_bits(kRawSignificantBits);
  CameraFrameHost host(*device_, properties_, stored_);
  // The pipeline takes the mask lock inside the frame lock the caller holds.
  const bool done = pipeline_.Run(set, settings, images_.mask(), host);
  imaging::CDibImage* output = set.OutputFor(settings.colour_mode);
  if (output != nullptr && raw != nullptr) output->set_significant_bits(raw->significant_bits());
  return done;
}

}  // namespace morvex
