#include "imaging/frame_pipeline.h"

#include <cstring>

#include "imaging/convert.h"

namespace morvex::imaging {
namespace {

bool SameGeometry(const CDibImage& a, const CDibImage& b) {
  return a.width() == b.width() && a.height() == b.height();
}

bool Usable(const CDibImage* image, uint16_t bits) {
  return image != nullptr && !image->empty() && image->bits_per_pixel() == bits;
}

}  // namespace

CDibImage* FrameImages::RawFor(int32_t colour_mode) const {
  return (colour_mode == 1 || colour_mode == 4 || colour_mode == 5) ? raw16 : raw8;
}

CDibImage* FrameImages::OutputFor(int32_t colour_mode) const {
  switch (colour_mode) {
    case 0:
      return raw8;
    case 1:
      return raw16;
    case 2:
      return colour24;
    case 3:
      return colour32;
    case 4:
      return colour48;
    case 5:
      return colour64;
    default:
      return nullptr;
  }
}

bool FramePipeline::Run(const FrameImages& images, FrameSettings& settings, MaskData* mask, FrameHost& host) {
  const int32_t mode = settings.colour_mode;
  if (mode < 0 || mode > 5) return false;
  CDibImage* raw = images.RawFor(mode);
  CDibImage* output = images.OutputFor(mode);
  const uint16_t raw_bits = (mode == 1 || mode == 4 || mode == 5) ? 16 : 8;
  static const uint16_t kOutputBits[6] = {8, 16, 24, 32, 48, 64};
  if (!Usable(raw, raw_bits) || !Usable(output, kOutputBits[mode]) || !SameGeometry(*raw, *output))
    return false;
  bool complete = true;
  bool chain_done = false;

  // 1. Exposure measurement; the camera instance acts on the factor.
  if (settings.auto_iris == 1 || settings.auto_iris == 2) {
    ExposureMeasurement m;
    if (MeasureExposure(*raw, &m) && m.change) host.ApplyExposureFactor(settings.auto_iris, m.factor);
  }

  // 12-bit camera data, left-aligned to 16 bits by the mask filter.
  int32_t grey_bits = 12;
  // 2. Flat field and defect correction under the mask lock.
  if (mask != nullptr && mask->valid() && (settings.mask_filter || settings.dot_filter)) {
    platform::ScopedLock hold(mask->lock());
    if (settings.mask_filter) {
      if (raw_bits == 8) {
        MaskFilter8(*raw, mask->reference(8, MaskKind::kDark), mask->reference(8, MaskKind::kWhite),
                    settings.window_x, settings.window_y);
      } else if (MaskFilter16(*raw, mask->reference(16, MaskKind::kDark),
                              mask->reference(16, MaskKind::kWhite), settings.window_x, settings.window_y)) {
        raw->set_significant_bits(16);  // left-aligned from here on
        grey_bits = 16;
      }
    }
    if (settings.dot_filter) {
      DotFilter(*raw, raw_bits == 8 ? 30 : 480, &mask->defect_map(raw_bits, MaskKind::kDark),
                &mask->defect_map(raw_bits, MaskKind::kWhite), dot_flags_);
    }
  }

  const int32_t adjusted_mode =
      MirrorAdjustedBayerMode(settings.bayer_mode, settings.mirror_h, settings.mirror_v);

  // 3. Grey processing (modes 0 and 1).
  if (mode <= 1 && settings.grey_mode == 1) {
    if (settings.auto_grey_balance) {
      AutoGreyBalance(*raw, settings.bayer_mode, settings.grey);
      settings.auto_grey_balance = false;  // acts on one frame
      host.GreyGainsMeasured(settings.grey);
    }
    // The raw image is the output here; the tone table is per sample, so it
    // may go before the mirroring, in the gains' pass.
    GreyGainsArgs args{settings.grey, grey_bits, ChainTable(settings, raw_bits == 16)};
    raw->Apply(raw_bits == 8 ? &GreyGains8 : &GreyGains16, *raw, nullptr, 0, 0, settings.bayer_mode, &args);
    chain_done = true;
  } else if (mode == 0 && settings.grey_mode == 2) {
    // Grey from colour goes through the 24-bit image; the 16-bit grey mode
    // has no such path.
    CDibImage* colour = images.colour24;
    if (Usable(colour, 24) && SameGeometry(*colour, *raw)) {
      if (settings.bayer_auto) {
        MeasureWhiteBalance(*raw, adjusted_mode, settings.bayer_gains);
        host.BayerGainsMeasured(settings.bayer_gains);
      }
      Demosaic(*colour, *raw, adjusted_mode, settings.bayer_gains);
      raw->Apply(&ColourToGrey, *colour, nullptr, 0, 0, 0, nullptr);
    } else {
      complete = false;
    }
  }

  // 4. Software mirroring for what the device does not mirror itself.
  if (!MirrorRaw(*raw, mirror_temp_, settings.mirror_h, settings.mirror_v, host.DeviceMirrorsHorizontally(),
                 host.DeviceMirrorsVertically())) {
    complete = false;
  }

  // 5. and 6. Demosaic, hue and saturation (colour modes).
  if (mode >= 2) {
    if (settings.bayer_auto) {
      MeasureWhiteBalance(*raw, adjusted_mode, settings.bayer_gains);
      host.BayerGainsMeasured(settings.bayer_gains);
    }
    Demosaic(*output, *raw, adjusted_mode, settings.bayer_gains);
    if (settings.hue != 0 || settings.saturation != 0) {
      HueSaturationArgs args{settings.hue, settings.saturation, &saturation_};
      output->Apply(&HueSaturation, *output, nullptr, 0, 0, 0, &args);
    }
  }

  // 7. to 10. Tone steps on the output image of every mode.
  return ToneSteps(*output, images.work, settings, chain_done) && complete;
}

const void* FramePipeline::ChainTable(const FrameSettings& settings, bool wide) {
  // Gamma and contrast (and brightness, when no sharpening sits between
  // them) are per-sample tables: composed, they make one pass.
  const int32_t chained_brightness = settings.sharpness != 0 ? 0 : settings.brightness;
  if (settings.gamma == 100 && settings.contrast == 0 && chained_brightness == 0) return nullptr;
  return wide ? static_cast<const void*>(
                    tables_.Chain16(settings.gamma, settings.contrast, chained_brightness))
              : tables_.Chain8(settings.gamma, settings.contrast, chained_brightness);
}

bool FramePipeline::ToneSteps(CDibImage& output, CDibImage* work, const FrameSettings& settings,
                              bool chain_done) {
  const bool wide = output.bits_per_pixel() == 16 || output.bits_per_pixel() >= 48;
  auto apply_table = [&](const void* table) {
    output.Apply(&ApplyToneTable, output, nullptr, 0, 0, 0, const_cast<void*>(table));
  };
  const bool sharpen = settings.sharpness != 0;
  if (!chain_done) {
    if (const void* chain = ChainTable(settings, wide)) apply_table(chain);
  }
  bool ok = true;
  const bool grey = output.bits_per_pixel() <= 16;
  bool brightness_done = false;
  if (sharpen) {
    if (work != nullptr && (work->width() != output.width() || work->height() != output.height() ||
                            work->bits_per_pixel() != output.bits_per_pixel())) {
      work->CopyGeometry(&output);
    }
    if (work != nullptr && !work->empty() && work->size_bytes() == output.size_bytes()) {
      std::memcpy(work->pixels(), output.pixels(), output.size_bytes());
      SharpenArgs args{
          wide ? tables_.Sharpness16(settings.sharpness) : tables_.Sharpness8(settings.sharpness),
          &sharpen_columns_, &sharpen_columns16_};
      // Grey outputs take the brightness table inside the same pass.
      if (grey && settings.brightness != 0) {
        args.post_table = wide ? static_cast<const void*>(tables_.Brightness16(settings.brightness))
                               : tables_.Brightness8(settings.brightness);
        brightness_done = true;
      }
      output.Apply(&Sharpen, *work, nullptr, 0, 0, 0, &args);
    } else {
      ok = false;
    }
    if (settings.brightness != 0 && !brightness_done) {
      apply_table(wide ? static_cast<const void*>(tables_.Brightness16(settings.brightness))
                       : tables_.Brightness8(settings.brightness));
    }
  }
  return ok;
}

}  // namespace morvex::imaging
