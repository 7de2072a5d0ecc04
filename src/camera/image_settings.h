// The camera instance's image-settings record with the filter identifiers
// that only store a value in it, and the one mapping between the record and
// what the frame pipeline takes and gives back.
#pragma once

#include <cstdint>

#include "imaging/frame_pipeline.h"
#include "settings/image_settings_record.h"

namespace morvex {

enum class CachedFilterResult {
  kDone,        // value stored or read
  kOutOfRange,  // refused; the cache is unchanged
  kNotCached,   // the identifier is not one of the cached values
};

// The record itself; the member functions add no data.
struct ImageSettings : settings::ImageSettingsRecord {
  // Stores `value` under a cached identifier after its range check.
  CachedFilterResult Set(int32_t id, int32_t value);
  // Reads a cached identifier; the automatic grey balance is write-only.
  CachedFilterResult Get(int32_t id, int32_t* value) const;

  // The record's part of one frame's pipeline settings.
  void ToFrameSettings(imaging::FrameSettings* frame) const;
  // What the automatic balances measured replaces the stored gains; the
  // grey balance was a request for one frame.
  void StoreMeasuredGrey(const imaging::GreyGains& grey);
  void StoreMeasuredBayer(const imaging::BayerGains& gains);
};
static_assert(sizeof(ImageSettings) == sizeof(settings::ImageSettingsRecord), "no data beside the record");

}  // namespace morvex
