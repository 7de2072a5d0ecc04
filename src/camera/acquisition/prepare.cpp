// Prepare: every acquisition mode sizes the images for the geometry and
// colour mode and programs the device with the window and the cached
// camera settings before frames are taken.
#include "camera/morvex.h"
#include "device/morvex_z3u2_base.h"
#include "imaging/dib_image.h"

namespace morvex {

namespace {

bool RawIs16(int32_t colour_mode) { return colour_mode == 1 || colour_mode == 4 || colour_mode == 5; }

// Re-creates an image only when its geometry changes, so the pixels of a
// repeated prepare stay where they are.
bool Size(imaging::CDibImage* image, int32_t width, int32_t height, uint16_t bits) {
  if (image == nullptr) return false;
  if (!image->empty() && image->width() == width && image->height() == height &&
      image->bits_per_pixel() == bits)
    return true;
  return image->Create(width, height, bits);
}

}  // namespace

bool CMorvex::SizeImages(int32_t width, int32_t height) {
  const imaging::FrameImages set = ImageSet();
  const int32_t mode = format_.color_mode;
  bool ok = true;
  if (mode <= 3) ok = ok && Size(set.raw8, width, height, 8);
  if (RawIs16(mode)) ok = ok && Size(set.raw16, width, height, 16);
  if (mode == 0 || mode >= 2) ok = ok && Size(set.colour24, width, height, 24);
  if (mode == 3) ok = ok && Size(set.colour32, width, height, 32);
  if (mode == 4) ok = ok && Size(set.colour48, width, height, 48);
  if (mode == 5) ok = ok && Size(set.colour64, width, height, 64);
  imaging::CDibImage* output = set.OutputFor(mode);
  ok = ok && output != nullptr && Size(set.work, width, height, output->bits_per_pixel());
  return ok;
}

void CMorvex::SendPrepareSettings() {
  CMorvexZ3U2Base& device = *device_;
  const auto device_lock = properties_.LockDevice();
  int32_t mirror_v, mirror_h, gain, g1, r, b, g2, exposure, gain_level, black_level;
  double exposure_s;
  {
    std::lock_guard<std::mutex> lock(stored_.lock);
    mirror_v = stored_.analogue.mirror_v, mirror_h = stored_.analogue.mirror_h,
    gain = stored_.analogue.global;
    g1 = stored_.analogue.color_g1, r = stored_.analogue.color_r, b = stored_.analogue.color_b,
    g2 = stored_.analogue.color_g2;
    exposure = stored_.analogue.exposure, exposure_s = stored_.analogue.exposure_ex;
    gain_level = stored_.analogue.gain_mode, black_level = stored_.analogue.black_level;
  }
  device.SetMirrorV(mirror_v);
  device.SetMirrorH(mirror_h);
  device.SetTriggerMode(0, 1);
  device.SetGain(gain);
  device.SetGainGreen1(g1);
  device.SetGainRed(r);
  device.SetGainBlue(b);
  device.SetGainGreen2(g2);
  if (device.HasRealExposureTime() == 1) {
    device.SetRealExposureTime(exposure_s);
    double taken = 0.0;
    if (device.GetRealExposureTime(&taken)) {
      std::lock_guard<std::mutex> lock(stored_.lock);
      stored_.real_exposure_us = static_cast<int32_t>(taken * 1e6 + 0.5);
    }
  } else {
    device.SetExposureTime(exposure & 0xFFFF);
  }
  if (device.HasAuxiliarySwitch() == 1) device.SetAuxiliarySwitch(0);
  device.SetGainLevel(0);
  if (device.HasGainLevel() == 1) device.SetGainLevel(gain_level);
  if (device.HasBlackLevel() == 1) device.SetBlackLevel(black_level);
  device.OnSettingsApplied();
}

int32_t CMorvex::Prepare() {
  // Presence by the selected device number: the table index names another
  // entry once cameras of other models sit in the device table.
  if (!selection_.opened() || device_->IsCameraPresent(selection_.device()) != 1) {
    RecordError(kErrNoDevice);
    return 0;
  }
  if (!format_.WindowValid()) {
    RecordError(kErrCaptureWindow);
    return 0;
  }
  device_->SetDataWidth(RawIs16(format_.color_mode) ? 1 : 0);
  if (!device_->SetWindow(format_.x, format_.y, format_.width, format_.height, format_.subsample)) {
    RecordError(kErrCaptureWindow);
    return 0;
  }
  format_.window_pending = false;
  // The sensor rounds the window; the images take the size it will send.
  int32_t width = 0, height = 0;
  if (!device_->GetWindow(nullptr, nullptr, &width, &height, nullptr) || width <= 0 || height <= 0) {
    format_.FrameSize(&width, &height);
  }
  {
    std::lock_guard<std::mutex> lock(frame_lock_);
    if (!SizeImages(width, height)) {
      RecordError(kErrBuffer);
      return 0;
    }
    prepared_color_mode_ = format_.color_mode;
  }
  SendPrepareSettings();
  preview_->Prepare(width, height);
  return 1;
}

}  // namespace morvex
