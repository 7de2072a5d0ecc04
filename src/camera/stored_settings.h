// The stored settings room: the per-user store and the camera and image
// values the instance caches, loads from it and saves to it.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>

#include "camera/image_settings.h"
#include "settings/registry_store.h"

namespace morvex {

class StoredSettings {
 public:
  explicit StoredSettings(std::string base_key) : store(std::move(base_key)) {}

  // The image, grey and analogue values of `camera`; `defaults` fill an
  // analogue record the store does not have.
  void Load(int32_t camera, const settings::AnalogueDefaults& defaults);
  void Save(int32_t camera);

  // Copies taken and put back under the lock.
  settings::AnalogueRecord analogue_copy() const;
  void set_analogue(const settings::AnalogueRecord& record);
  ImageSettings image_copy() const;

  settings::RegistryStore store;
  // Guards the values below: setters on application threads, one snapshot
  // per frame on the worker.
  mutable std::mutex lock;
  ImageSettings image;
  // Gains, exposure (0.1 ms units and seconds), mirrors, auto-iris mode,
  // gain level ("GainMode") and black level.
  settings::AnalogueRecord analogue;
  int32_t cooler = 0;      // filter 100
  int32_t aux_switch = 0;  // filter 105
  int32_t real_exposure_us = 0;
};

}  // namespace morvex
