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
  CameraFrameHost(CMorvexZ3U2Base& device, std::mutex& settings_lock, int32_t& exposure, int32_t& gain,
                  ImageSettings& image)
      : device_(device), settings_lock_(settings_lock), exposure_(exposure), gain_(gain), image_(image) {}

  bool DeviceMirrorsHorizontally() override { return device_.HasMirrorH() == 1; }
  bool DeviceMirrorsVertically() override { return device_.HasMirrorV() == 1; }

  void ApplyExposureFactor(int32_t auto_iris, double factor) override {
    if (auto_iris == 1) {
      int32_t low = 0, high = 0;
      device_.GetExposureTimeMin(&low);
      device_.GetExposureTimeMax(&high);
      const int32_t value = Scaled(exposure_, factor, low, high);
      if (device_.SetExposureTime(value)) Store(exposure_, value);
    } else if (auto_iris == 2) {
      int32_t low = 0, high = 0;
      device_.GetGainMin(&low);
      device_.GetGainMax(&high);
      const int32_t value = Scaled(gain_, factor, low, high);
      if (device_.SetGain(value)) Store(gain_, value);
    }
  }
  void GreyGainsMeasured(const imaging::GreyGains& grey) override {
    std::lock_guard<std::mutex> lock(settings_lock_);
    std::copy(std::begin(grey.gain), std::end(grey.gain), image_.gray_gain);
    image_.gray_auto_balance = 0;
  }
  void BayerGainsMeasured(const imaging::BayerGains& gains) override {
    std::lock_guard<std::mutex> lock(settings_lock_);
    image_.bayer_gain_red = gains.red;
    image_.bayer_gain_green = gains.green;
    image_.bayer_gain_blue = gains.blue;
  }

 private:
  int32_t Scaled(int32_t& field, double factor, int32_t low, int32_t high) {
    int32_t current;
    {
      std::lock_guard<std::mutex> lock(settings_lock_);
      current = field;
    }
    // At least one step in the asked direction, so a small value still moves.
    double next = std::round(current * factor);
    if (factor > 1.0 && next <= current) next = current + 1;
    if (factor < 1.0 && next >= current) next = current - 1;
    return static_cast<int32_t>(std::clamp<double>(next, low, std::max(low, high)));
  }
  void Store(int32_t& field, int32_t value) {
    std::lock_guard<std::mutex> lock(settings_lock_);
    field = value;
  }

  CMorvexZ3U2Base& device_;
  std::mutex& settings_lock_;
  int32_t& exposure_;
  int32_t& gain_;
  ImageSettings& image_;
};

}  // namespace

imaging::FrameImages CMorvex::ImageSet() const {
  imaging::FrameImages set;
  set.raw8 = images_[0].get();
  set.raw16 = images_[1].get();
  set.colour24 = images_[2].get();
  set.colour32 = images_[3].get();
  set.colour48 = images_[4].get();
  set.colour64 = images_[5].get();
  set.work = images_[6].get();
  return set;
}

imaging::CDibImage* CMorvex::OutputImage() {
  if (prepared_color_mode_ < 0 || prepared_color_mode_ > 5) return nullptr;
  return ImageSet().OutputFor(prepared_color_mode_);
}

bool CMorvex::ProcessFrame() {
  if (device_ == nullptr) return false;
  imaging::FrameSettings settings;
  {
    std::lock_guard<std::mutex> lock(settings_lock_);
    settings.colour_mode = prepared_color_mode_;
    settings.auto_iris = auto_iris_;
    settings.brightness = image_.brightness;
    settings.contrast = image_.contrast;
    settings.hue = image_.hue;
    settings.saturation = image_.saturation;
    settings.sharpness = image_.sharpness;
    settings.gamma = image_.gamma;
    settings.bayer_gains =
        imaging::BayerGains{image_.bayer_gain_red, image_.bayer_gain_green, image_.bayer_gain_blue};
    settings.bayer_auto = image_.bayer_gain_auto != 0;
    settings.bayer_mode = image_.bayer_mode;
    settings.grey_mode = image_.gray_mode;
    std::copy(std::begin(image_.gray_gain), std::end(image_.gray_gain), settings.grey.gain);
    std::copy(std::begin(image_.gray_offset), std::end(image_.gray_offset), settings.grey.offset);
    settings.auto_grey_balance = image_.gray_auto_balance != 0;
    settings.dot_filter = image_.dot_filter != 0;
    settings.mask_filter = image_.mask_filter != 0;
    settings.mirror_h = mirror_h_ != 0;
    settings.mirror_v = mirror_v_ != 0;
  }
  settings.window_x = capture_x_;
  settings.window_y = capture_y_;
  const imaging::FrameImages set = ImageSet();
  imaging::CDibImage* raw = set.RawFor(settings.colour_mode);
  if (raw != nullptr) raw->set_significant_bits(kRawSignificantBits);
  CameraFrameHost host(*device_, settings_lock_, exposure_, global_gain_, image_);
  // The pipeline takes the mask lock inside the frame lock the caller holds.
  const bool done = pipeline_.Run(set, settings, mask_.get(), host);
  imaging::CDibImage* output = set.OutputFor(settings.colour_mode);
  if (output != nullptr && raw != nullptr) output->set_significant_bits(raw->significant_bits());
  return done;
}

}  // namespace morvex
