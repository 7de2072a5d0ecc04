// The filter identifiers of Morvex_GetFilterValue and Morvex_SetFilterValue:
// for each one what a set accepts, where it goes and where a get reads.
// The property dispatch room dispatches on this table; the image settings
// check their ranges against it.
#pragma once

#include <cstdint>

#include "camera/image_settings.h"
#include "settings/registry_store.h"

namespace morvex {

class CMorvexZ3U2Base;

enum class PropertyKind : uint8_t {
  kImageRanged,      // min..max into the image cache; read from it
  kImageFlag,        // no check, any non-zero stored as 1
  kImagePacked,      // red, green, blue bayer gains in bytes 0, 1, 2; no check
  kImageWriteOnly,   // min..max into the image cache; not readable
  kGlobalGain,       // device range; device; the global and all four colour caches; read from the device
  kColorGain,        // device range; device; its cache; read from the device
  kExposure,         // device range; cache; device (16 bits); seconds refreshed; read from the device
  kCooler,           // device cooler when fitted
  kTemperature,      // never through the pair
  kGainLevel,        // device, no check, cache untouched
  kAuxiliarySwitch,  // device when fitted
  kBlackLevel,       // device when fitted, and its cache
  kRefused,          // channel gains and offsets
};

using DeviceSetter = int32_t (CMorvexZ3U2Base::*)(int32_t);
using DeviceGetter = int32_t (CMorvexZ3U2Base::*)(int32_t*);
using DeviceHas = int32_t (CMorvexZ3U2Base::*)();

struct PropertyEntry {
  int32_t id;
  PropertyKind kind;
  // Fixed range of the image kinds.
  int32_t min;
  int32_t max;
  int32_t& (*image)(ImageSettings&);
  // The camera cache of the device-backed gains and exposure.
  int32_t& (*analogue)(settings::AnalogueRecord&);
  // Where the device gives the range, takes a set and answers a get.
  DeviceGetter range_min;
  DeviceGetter range_max;
  DeviceSetter set;
  DeviceGetter get;
  // Where set, the device has the property only when this answers 1; a get
  // without it answers `unfitted`.
  DeviceHas fitted = nullptr;
  int32_t unfitted = 0;
};

// The entry of `id`; null for an identifier the table does not hold.
const PropertyEntry* FindProperty(int32_t id);

}  // namespace morvex
