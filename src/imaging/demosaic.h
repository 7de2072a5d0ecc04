// Bayer demosaic: 8-bit raw → 24/32 bits, 16-bit raw → 48/64 bits.
//
// Every output pixel is the colour at the centre of the 2 × 2 raw block
// whose lower-right sample it is. Green is the mean of the block's two
// greens; red and blue weigh the block's sample and its three neighbours
// two columns/rows away 9:3:3:1 and scale by the bayer gain (gain 100 is
// weight 128, so a single shift by 11 normalises).
#pragma once

#include <cstdint>

#include "imaging/dib_image.h"
#include "imaging/image_operation.h"

namespace morvex::imaging {

// Bayer gains in percent, 0 … 400; green only steers the routine choice.
struct BayerGains {
  int32_t red = 100;
  int32_t green = 100;
  int32_t blue = 100;
};

// Weight of a gain: int(gain × 1.28).
inline int32_t BayerWeight(int32_t gain) { return static_cast<int32_t>(gain * 1.28); }

// Mirroring changes which colour sits in the top-left cell: vertical swaps
// modes 0↔1 and 2↔3, then horizontal swaps 0↔2 and 1↔3.
int32_t MirrorAdjustedBayerMode(int32_t mode, bool mirror_h, bool mirror_v);

// Image operations; param = bayer mode 0 … 3, extra = const BayerGains*.
// The interior routines fill 2 ≤ x < width − 2, 2 ≤ y < height − 2; the
// border routines the two outermost rows and columns.
int Demosaic8Scalar(uint8_t* dst, const uint8_t* src, const Rect& src_rect, int32_t dst_x, int32_t dst_y,
                    int32_t dst_bpp, int32_t src_bpp, int32_t dst_stride, int32_t src_stride, int32_t param,
                    void* extra);
int Demosaic8Border(uint8_t* dst, const uint8_t* src, const Rect& src_rect, int32_t dst_x, int32_t dst_y,
                    int32_t dst_bpp, int32_t src_bpp, int32_t dst_stride, int32_t src_stride, int32_t param,
                    void* extra);
int Demosaic16(uint8_t* dst, const uint8_t* src, const Rect& src_rect, int32_t dst_x, int32_t dst_y,
               int32_t dst_bpp, int32_t src_bpp, int32_t dst_stride, int32_t src_stride, int32_t param,
               void* extra);
int Demosaic16Border(uint8_t* dst, const uint8_t* src, const Rect& src_rect, int32_t dst_x, int32_t dst_y,
                     int32_t dst_bpp, int32_t src_bpp, int32_t dst_stride, int32_t src_stride, int32_t param,
                     void* extra);

// Vector variants of the 8-bit interior for 24-bit output; null when the
// processor or the build lacks the instruction set.
ImageOperation Demosaic8Sse2Routine();
ImageOperation Demosaic8Ssse3Routine();
ImageOperation Demosaic8Avx2Routine();
// 16-bit interior into 48- or 64-bit output.
ImageOperation Demosaic16Sse2Routine();
ImageOperation Demosaic16Avx2Routine();

// The 8-bit interior routine for this destination depth and gains: scalar
// for 32-bit output or any gain above 200, otherwise the widest vector
// routine the processor runs.
ImageOperation ChooseDemosaic8(uint16_t dst_bits, const BayerGains& gains);

// The 16-bit interior routine: for gains up to 400 the widest vector
// routine the processor runs, else the scalar one.
ImageOperation ChooseDemosaic16(uint16_t dst_bits, const BayerGains& gains);

// Interior and border of the whole image. 8-bit raw needs a 24/32-bit
// destination, 16-bit raw a 48/64-bit one, both of the raw image's size.
bool Demosaic(CDibImage& dst, const CDibImage& raw, int32_t bayer_mode, const BayerGains& gains);

}  // namespace morvex::imaging
