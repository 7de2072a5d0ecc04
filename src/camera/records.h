// Binary records handed to the application; the public header declares the
// same layouts as MORVEX_CAMERA_INFO and MORVEX_FRAME_INFO.
#pragma once

#include <cstddef>
#include <cstdint>

namespace morvex {

// Filled in place by Morvex_GetCameraInfo; the caller sets `size` first.
struct CameraInfoRecord {
  int32_t size;
  int32_t sensor_width;
  int32_t sensor_height;
  int32_t min_global_gain;
  int32_t max_global_gain;
  int32_t min_color_gain;
  int32_t max_color_gain;
  int32_t min_exposure;  // 0.1 ms units
  int32_t max_exposure;
  int32_t reserved;          // never written
  double min_exposure_time;  // seconds
  double max_exposure_time;
};
static_assert(sizeof(CameraInfoRecord) == 56, "camera information record size");
static_assert(offsetof(CameraInfoRecord, sensor_width) == 4, "camera information layout");
static_assert(offsetof(CameraInfoRecord, max_exposure) == 32, "camera information layout");
static_assert(offsetof(CameraInfoRecord, reserved) == 36, "camera information layout");
static_assert(offsetof(CameraInfoRecord, min_exposure_time) == 40, "camera information layout");
static_assert(offsetof(CameraInfoRecord, max_exposure_time) == 48, "camera information layout");

// Posted by address with MORVEX_WM_FRAME; overwritten by the next frame.
#pragma pack(push, 4)
struct FrameDescription {
  int32_t reserved;  // always 0
  int32_t width;
  int32_t height;
  int32_t bits_per_pixel;
  int32_t frame_rate;  // tenths of frames per second
  void* user_buffer;
};
#pragma pack(pop)
static_assert(offsetof(FrameDescription, width) == 4, "frame description layout");
static_assert(offsetof(FrameDescription, bits_per_pixel) == 12, "frame description layout");
static_assert(offsetof(FrameDescription, frame_rate) == 16, "frame description layout");
static_assert(offsetof(FrameDescription, user_buffer) == 20, "frame description layout");
static_assert(sizeof(FrameDescription) == 20 + sizeof(void*), "frame description size");

}  // namespace morvex
