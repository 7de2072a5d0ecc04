// Per-frame adjustments of the raw and output images: automatic exposure
// measurement, mask (flat-field) and dot (defect) filters, grey gains and
// the automatic balances, and the table-driven tone steps.
#pragma once

#include <cstdint>
#include <vector>

#include "imaging/demosaic.h"
#include "imaging/dib_image.h"
#include "imaging/image_operation.h"

namespace morvex::imaging {

// ---- Automatic exposure ---------------------------------------------------

struct ExposureMeasurement {
  int32_t mean[5] = {};
  bool measured[5] = {};  // false for a region with no pixels
  double factor = 1.0;
  // The factor is outside (0.6, 1.2): the camera should act on it.
  bool change = false;
};

// Measures the five regions of the raw image (8 or 16 bits).
bool MeasureExposure(const CDibImage& raw, ExposureMeasurement* out);
// New global gain: trunc(max(current, 4) × f), at least 4 when f > 1,
// clamped to [minimum, maximum].
int32_t NextGlobalGain(int32_t current, double factor, int32_t minimum, int32_t maximum);
// New exposure: trunc(current × f) as a 16-bit value, 0 → 1, clamped.
int32_t NextExposure(int32_t current, double factor, int32_t minimum, int32_t maximum);

// ---- Mask filter ------------------------------------------------------------

// Flat field against the dark and white references of the same depth,
// raw (c, r) paired with reference (x_offset + c, y_offset + r). Pixels
// whose reference position falls outside the references are left alone.
bool MaskFilter8(CDibImage& raw, const CDibImage& dark, const CDibImage& white, int32_t x_offset,
                 int32_t y_offset);
// 16-bit result is left-aligned: a 12-bit value times 16.
bool MaskFilter16(CDibImage& raw, const CDibImage& dark, const CDibImage& white, int32_t x_offset,
                  int32_t y_offset);

// ---- Dot filter -------------------------------------------------------------

// Replaces defective pixels (marked in either map, or differing from the
// mean of their four neighbours by at least `threshold`) with the mean of
// the nearest unflagged pixels left, right, up and down. Maps are read at
// the raw image's byte offsets; offsets beyond a map count as unmarked.
// `flags` is scratch reused across frames.
bool DotFilter(CDibImage& raw, int32_t threshold, const CDibImage* dark_map, const CDibImage* white_map,
               std::vector<uint8_t>& flags);

// ---- Grey gains ---------------------------------------------------------------

// Indexed R, G1, G2, B.
struct GreyGains {
  int32_t gain[4] = {128, 128, 128, 128};
  int32_t offset[4] = {0, 0, 0, 0};
};

// Which of R, G1, G2, B applies at (x, y) for a bayer mode (mode 0: G1 R / B G2).
int32_t GreyCellIndex(int32_t bayer_mode, int32_t x, int32_t y);
// Largest value of a 16-bit sample with this many significant bits.
int32_t SignificantMaximum(int32_t bits);

struct GreyGainsArgs {
  GreyGains gains;
  int32_t significant_bits = 12;  // 16-bit data only
  // Optional per-sample table (256 bytes or 65536 words) applied after the
  // gains in the same pass, sparing the tone steps a pass of their own.
  const void* tone = nullptr;
};
// v' = o + (g × v) / 128, clamped; param = bayer mode, extra = const GreyGainsArgs*.
int GreyGains8(uint8_t* dst, const uint8_t* src, const Rect& src_rect, int32_t dst_x, int32_t dst_y,
               int32_t dst_bpp, int32_t src_bpp, int32_t dst_stride, int32_t src_stride, int32_t param,
               void* extra);
int GreyGains16(uint8_t* dst, const uint8_t* src, const Rect& src_rect, int32_t dst_x, int32_t dst_y,
                int32_t dst_bpp, int32_t src_bpp, int32_t dst_stride, int32_t src_stride, int32_t param,
                void* extra);

// Automatic grey balance: gains from the cell means of the low bytes.
// Ratios whose means are missing or zero leave that gain as it was.
bool AutoGreyBalance(const CDibImage& raw, int32_t bayer_mode, GreyGains& gains);

// ---- White balance ----------------------------------------------------------

// Bayer gains from the site means of the raw image (mirror-adjusted mode).
// A gain whose means are missing or zero stays as it was.
bool MeasureWhiteBalance(const CDibImage& raw, int32_t bayer_mode, BayerGains& gains);

// ---- Tone tables --------------------------------------------------------------

void BuildGammaTable8(int32_t gamma, uint8_t table[256]);
void BuildGammaTable16(int32_t gamma, uint16_t* table /*65536*/);
void BuildContrastTable8(int32_t contrast, uint8_t table[256]);
void BuildContrastTable16(int32_t contrast, uint16_t* table /*65536*/);
void BuildBrightnessTable8(int32_t brightness, uint8_t table[256]);
void BuildBrightnessTable16(int32_t brightness, uint16_t* table /*65536*/);
// Sharpness: T[d] = (s × d) / 10 for d in [−max, max], stored at d + max.
void BuildSharpnessTable(int32_t sharpness, int32_t max, int32_t* table /*2 max + 1*/);

// Replaces every channel (blue, green, red; the grey sample) through a
// table; extra = const uint8_t[256] for 8-bit layouts (1, 3 or 4 bytes per
// pixel), const uint16_t[65536] for 16-bit ones (2, 6 or 8).
int ApplyToneTable(uint8_t* dst, const uint8_t* src, const Rect& src_rect, int32_t dst_x, int32_t dst_y,
                   int32_t dst_bpp, int32_t src_bpp, int32_t dst_stride, int32_t src_stride, int32_t param,
                   void* extra);

struct SharpenArgs {
  const int32_t* table = nullptr;              // centred: table[max + d]
  std::vector<uint32_t>* scratch = nullptr;    // column sums, reused
  std::vector<uint16_t>* scratch16 = nullptr;  // 8-bit grey column sums, reused (optional)
  // Optional per-sample table applied to every destination sample
  // afterwards (grey layouts only; the following brightness step).
  const void* post_table = nullptr;
};
// out = v + T[v − blur] over 2 … W − 3 and 2 … H − 3, blur = mean of the
// 4 × 4 source samples at x − 2 … x + 1, y − 2 … y + 1; the outer two rows
// and columns keep their values; extra = SharpenArgs*.
int Sharpen(uint8_t* dst, const uint8_t* src, const Rect& src_rect, int32_t dst_x, int32_t dst_y,
            int32_t dst_bpp, int32_t src_bpp, int32_t dst_stride, int32_t src_stride, int32_t param,
            void* extra);

// Tables kept by their argument so they are rebuilt only when it changes.
class ToneTables {
 public:
  const uint8_t* Gamma8(int32_t gamma);
  const uint16_t* Gamma16(int32_t gamma);
  const uint8_t* Contrast8(int32_t contrast);
  const uint16_t* Contrast16(int32_t contrast);
  const uint8_t* Brightness8(int32_t brightness);
  const uint16_t* Brightness16(int32_t brightness);
  const int32_t* Sharpness8(int32_t sharpness);   // centred at 255
  const int32_t* Sharpness16(int32_t sharpness);  // centred at 65535
  // Gamma, then contrast, then brightness composed into one table (the
  // neutral value of a step leaves it out): one pass instead of three.
  const uint8_t* Chain8(int32_t gamma, int32_t contrast, int32_t brightness);
  const uint16_t* Chain16(int32_t gamma, int32_t contrast, int32_t brightness);
  // How many tables were built so far (the cache's effect is observable).
  uint32_t builds() const { return builds_; }

 private:
  template <typename T, typename Build>
  const T* Get(std::vector<T>& table, int32_t& key, int32_t value, size_t size, Build build);
  std::vector<uint8_t> gamma8_, contrast8_, brightness8_;
  std::vector<uint16_t> gamma16_, contrast16_, brightness16_;
  std::vector<int32_t> sharp8_, sharp16_;
  std::vector<uint8_t> chain8_;
  std::vector<uint16_t> chain16_;
  int32_t chain8_key_[3] = {INT32_MIN, 0, 0}, chain16_key_[3] = {INT32_MIN, 0, 0};
  int32_t gamma8_key_ = INT32_MIN, gamma16_key_ = INT32_MIN, contrast8_key_ = INT32_MIN,
          contrast16_key_ = INT32_MIN, brightness8_key_ = INT32_MIN, brightness16_key_ = INT32_MIN,
          sharp8_key_ = INT32_MIN, sharp16_key_ = INT32_MIN;
  uint32_t builds_ = 0;
};

}  // namespace morvex::imaging
