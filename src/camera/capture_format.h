// The capture format room: the capture window within the sensor, its size
// preset values, subsampling, colour mode, wait time and clock.
#pragma once

#include <atomic>
#include <cstdint>

#include "settings/registry_store.h"

namespace morvex {

struct CaptureFormat {
  static constexpr int32_t kSensorWidth = 640;
  static constexpr int32_t kSensorHeight = 512;

  // Inside the sensor, with a subsampling mode the sensor has.
  bool WindowValid() const;
  // The window as a size entry, and back.
  settings::SizeEntry size() const { return {total_h, total_v, width, height, x, y, buffers}; }
  void set_size(const settings::SizeEntry& size);
  // The full sensor at 0, 0.
  void ResetWindow();
  // The frame the device delivers: half the window in each direction when subsampled.
  void FrameSize(int32_t* frame_width, int32_t* frame_height) const;

  int32_t total_h = kSensorWidth;
  int32_t total_v = kSensorHeight;
  int32_t width = kSensorWidth;
  int32_t height = kSensorHeight;
  int32_t x = 0;
  int32_t y = 0;
  int32_t buffers = 4;
  int32_t subsample = 0;
  int32_t color_mode = 0;  // index 0-5
  std::atomic<int32_t> wait_time_ms{10};
  int32_t clock = 0;
  // A capture window set while frames flow; sent at the next prepare.
  bool window_pending = false;
};

}  // namespace morvex
