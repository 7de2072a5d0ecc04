// The per-frame processing of a camera instance: exposure measurement, mask
// and dot filters, grey processing, software mirroring, demosaic and the
// colour and tone adjustments, in that order. The camera instance supplies
// the images, the settings, the mask data (with its lock) and the device
// callbacks; everything else lives here and is reused across frames.
#pragma once

#include <cstdint>
#include <vector>

#include "imaging/adjust.h"
#include "imaging/defect_mask.h"
#include "imaging/demosaic.h"
#include "imaging/dib_image.h"
#include "imaging/hue_saturation.h"

namespace morvex::imaging {

// The filter values the pipeline reads (neutral defaults). The pipeline
// writes back what the automatic steps measure: the bayer gains (white
// balance), the grey gains and the cleared grey-balance request.
struct FrameSettings {
  int32_t colour_mode = 0;  // 0 … 5: grey 8, grey 16, colour 24, 32, 48, 64
  int32_t auto_iris = 0;    // 0 off, 1 exposure, 2 gain
  int32_t brightness = 0;
  int32_t contrast = 0;
  int32_t hue = 0;
  int32_t saturation = 0;
  int32_t sharpness = 0;
  int32_t gamma = 100;
  BayerGains bayer_gains;
  bool bayer_auto = false;
  int32_t bayer_mode = 0;
  int32_t grey_mode = 0;  // 0 none, 1 grey gains, 2 grey from colour
  GreyGains grey;
  bool auto_grey_balance = false;
  bool dot_filter = false;
  bool mask_filter = false;
  bool mirror_h = false;
  bool mirror_v = false;
  int32_t window_x = 0;  // capture offsets, pairing raw pixels with the references
  int32_t window_y = 0;
};

// The camera instance's images; absent ones are null.
struct FrameImages {
  CDibImage* raw8 = nullptr;
  CDibImage* raw16 = nullptr;
  CDibImage* colour24 = nullptr;
  CDibImage* colour32 = nullptr;
  CDibImage* colour48 = nullptr;
  CDibImage* colour64 = nullptr;
  CDibImage* work = nullptr;  // resized to the output image when needed

  CDibImage* RawFor(int32_t colour_mode) const;
  CDibImage* OutputFor(int32_t colour_mode) const;
};

// What the pipeline asks of the camera instance and its device.
class FrameHost {
 public:
  virtual ~FrameHost() = default;
  virtual bool DeviceMirrorsHorizontally() { return false; }
  virtual bool DeviceMirrorsVertically() { return false; }
  // The exposure measurement asks for a change (auto-iris 1 or 2).
  virtual void ApplyExposureFactor(int32_t /*auto_iris*/, double /*factor*/) {}
  // Automatic balances changed stored gains (dialogs refresh).
  virtual void GreyGainsMeasured(const GreyGains&) {}
  virtual void BayerGainsMeasured(const BayerGains&) {}
};

class FramePipeline {
 public:
  // Processes the frame in the raw image of the colour mode into its output
  // image. False when an image the mode needs is missing or of the wrong
  // geometry (the steps that could run have run).
  bool Run(const FrameImages& images, FrameSettings& settings, MaskData* mask, FrameHost& host);

  ToneTables& tone_tables() { return tables_; }

 private:
  // The composed gamma, contrast and brightness table the tone steps start
  // with, or null when it changes nothing.
  const void* ChainTable(const FrameSettings& settings, bool wide);
  bool ToneSteps(CDibImage& output, CDibImage* work, const FrameSettings& settings, bool chain_done);

  ToneTables tables_;
  SaturationTable saturation_;
  std::vector<uint8_t> dot_flags_;
  std::vector<uint32_t> sharpen_columns_;
  std::vector<uint16_t> sharpen_columns16_;
  CDibImage mirror_temp_;
};

}  // namespace morvex::imaging
