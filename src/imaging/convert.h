// Pixel-layout conversions, each with the image-operation signature, and
// the software mirroring of the raw image.
#pragma once

#include "imaging/dib_image.h"
#include "imaging/image_operation.h"

namespace morvex::imaging {

#define MORVEX_IMAGE_OP(name)                                                                       \
  int name(uint8_t* dst, const uint8_t* src, const Rect& src_rect, int32_t dst_x, int32_t dst_y,    \
           int32_t dst_bpp, int32_t src_bpp, int32_t dst_stride, int32_t src_stride, int32_t param, \
           void* extra)
#define MORVEX_SCALED_OP(name)                                                                              \
  int name(uint8_t* dst, const uint8_t* src, const Rect& dst_rect, const Rect& src_rect, int32_t dst_width, \
           int32_t dst_height, int32_t src_width, int32_t src_height, int32_t dst_bpp, int32_t src_bpp,     \
           int32_t dst_stride, int32_t src_stride, int32_t param, void* extra)

// Spreads a frame written packed (width × bytes per pixel per row) out to
// the stride, in place. Both variants use the pixel size they are given.
MORVEX_IMAGE_OP(Respace8);
MORVEX_IMAGE_OP(Respace16);
// Convenience: re-spaces a whole image in place; false when it is empty.
bool RespaceFrame(CDibImage& image);

// 24 → 8: grey = (59 G + 30 R + 11 B) / 100.
MORVEX_IMAGE_OP(ColourToGrey);

// Flipped copies (destination row i from source row bottom − 1 − i) used by
// saving and recording.
MORVEX_IMAGE_OP(Copy8Flipped);            // 8 → 8, whole rows (shorter stride)
MORVEX_IMAGE_OP(High16To8Flipped);        // 16 → 8, high byte
MORVEX_IMAGE_OP(Bits2To9Flipped);         // 16 → 8, (sample >> 2) & 0xFF
MORVEX_IMAGE_OP(HighBytes48To24Flipped);  // 48/64 → 24, high bytes
MORVEX_IMAGE_OP(Copy24Flipped);           // 24/32 → 24

// Display conversions, memory row order kept.
MORVEX_IMAGE_OP(Display16To8);   // high byte
MORVEX_IMAGE_OP(Display32To24);  // blue, green, red
MORVEX_IMAGE_OP(Display48To24);  // (sample >> 4) & 0xFF

// 8-bit views of 16-bit samples: the top 8 of the `param` significant bits
// (12 for raw camera data, 16 after the mask filter). The flipped variants
// reverse the rows as the flipped copies above do. 48/64 → 24 and 16 → 8.
MORVEX_IMAGE_OP(View16To8);
MORVEX_IMAGE_OP(View16To8Flipped);
MORVEX_IMAGE_OP(View48To24);
MORVEX_IMAGE_OP(View48To24Flipped);
// The right shift that keeps the top 8 of `significant_bits` bits.
inline int32_t ViewShift(int32_t significant_bits) {
  return significant_bits > 16 ? 8 : (significant_bits > 8 ? significant_bits - 8 : 0);
}

// Nearest-sample scaling for the preview, rows flipped.
MORVEX_SCALED_OP(ScaledDisplay8);
MORVEX_SCALED_OP(ScaledDisplay24);

// Software mirroring of the raw image before any conversion, for the
// directions the device does not mirror itself. `temp` is resized to the
// raw image's geometry when needed and reused across frames.
bool MirrorRaw(CDibImage& raw, CDibImage& temp, bool mirror_h, bool mirror_v, bool device_mirrors_h,
               bool device_mirrors_v);

}  // namespace morvex::imaging
