// SensorDescriptor: the 92-word block describing a sensor's geometry, ranges
// and current settings. The device object copies it out whole and reads
// fields of the copy, so its layout is fixed word for word.
#pragma once

#include <cstddef>
#include <cstdint>

namespace morvex {

struct SensorDescriptor {
  int32_t max_width;
  int32_t max_height;
  // The window Initialize applies; its width and height also count as the
  // full size in the window and exposure rules.
  int32_t default_left;
  int32_t default_top;
  int32_t default_width;
  int32_t default_height;
  int32_t class_word_a;  // 0 for the IMX99x family
  int32_t class_word_b;  // 1 for the IMX99x family
  // Window as last applied; top as written to the sensor.
  int32_t window_left;
  int32_t window_top;
  int32_t window_width;
  int32_t window_height;
  int32_t line_length;   // clock units
  int32_t frame_length;  // lines
  int32_t readout_mode;  // 0 full/window, 1 binning, 17 reduced readout
  int32_t reserved_mode_word;
  int32_t device_layout_flag;  // read by the device layer only
  int32_t reserved_a[3];

  int32_t gain_min;
  int32_t gain_max;
  int32_t gain;
  int32_t gain_default;
  int32_t gain_supported;

  int32_t exposure_lines_min;
  int32_t exposure_lines_max;
  int32_t exposure_lines;
  int32_t exposure_lines_default;
  int32_t exposure_lines_supported;

  int32_t color_gain_ranges[20];  // channel gains and other unsupported ranges

  // Units of 0.1 ms.
  int32_t exposure_time_min;
  int32_t exposure_time_max;
  int32_t exposure_time;
  int32_t exposure_time_default;
  int32_t exposure_time_extra;

  int32_t aux_min;
  int32_t aux_max;
  int32_t aux;
  int32_t aux_default;
  int32_t aux_supported;

  int32_t black_level_min;
  int32_t black_level_max;
  int32_t black_level;
  int32_t black_level_default;
  int32_t black_level_supported;

  int32_t gain_mode_supported;
  int32_t gain_mode;
  int32_t gain_mode_extra;

  // Seconds.
  double real_exposure_min;
  double real_exposure_max;
  double real_exposure;
  double real_exposure_default;
  int32_t real_exposure_supported;

  int32_t reserved_b[5];

  int32_t mirror_v;
  int32_t mirror_v_default;
  int32_t mirror_v_supported;
  int32_t mirror_h;
  int32_t mirror_h_default;
  int32_t mirror_h_supported;

  int32_t data_width;    // bits per pixel on the wire, 8 or 16
  int32_t sensor_clock;  // 54545 for the IMX99x family
  int32_t orientation;   // 3 or 4: window tops count from the sensor bottom
  int32_t reserved_c;
};

static_assert(sizeof(SensorDescriptor) == 368, "descriptor is 92 words");
static_assert(offsetof(SensorDescriptor, max_width) == 0);
static_assert(offsetof(SensorDescriptor, default_left) == 8);
static_assert(offsetof(SensorDescriptor, class_word_a) == 24);
static_assert(offsetof(SensorDescriptor, window_left) == 32);
static_assert(offsetof(SensorDescriptor, line_length) == 48);
static_assert(offsetof(SensorDescriptor, frame_length) == 52);
static_assert(offsetof(SensorDescriptor, readout_mode) == 56);
static_assert(offsetof(SensorDescriptor, device_layout_flag) == 64);
static_assert(offsetof(SensorDescriptor, gain_min) == 80);
static_assert(offsetof(SensorDescriptor, exposure_lines_min) == 100);
static_assert(offsetof(SensorDescriptor, color_gain_ranges) == 120);
static_assert(offsetof(SensorDescriptor, exposure_time_min) == 200);
static_assert(offsetof(SensorDescriptor, aux_min) == 220);
static_assert(offsetof(SensorDescriptor, black_level_min) == 240);
static_assert(offsetof(SensorDescriptor, gain_mode_supported) == 260);
static_assert(offsetof(SensorDescriptor, real_exposure_min) == 272);
static_assert(offsetof(SensorDescriptor, real_exposure) == 288);
static_assert(offsetof(SensorDescriptor, real_exposure_supported) == 304);
static_assert(offsetof(SensorDescriptor, reserved_b) == 308);
static_assert(offsetof(SensorDescriptor, mirror_v) == 328);
static_assert(offsetof(SensorDescriptor, mirror_h) == 340);
static_assert(offsetof(SensorDescriptor, data_width) == 352);
static_assert(offsetof(SensorDescriptor, sensor_clock) == 356);
static_assert(offsetof(SensorDescriptor, orientation) == 360);
static_assert(offsetof(SensorDescriptor, reserved_c) == 364);

}  // namespace morvex
