#include "camera/stored_settings.h"

namespace morvex {

void StoredSettings::Load(int32_t camera, const settings::AnalogueDefaults& defaults) {
  ImageSettings loaded_image = image_copy();
  store.LoadImage(camera, &loaded_image);
  store.LoadGrey(camera, &loaded_image);
  settings::AnalogueRecord record = analogue_copy();
  store.LoadAnalogue(camera, defaults, &record);
  std::lock_guard<std::mutex> guard(lock);
  image = loaded_image;
  analogue = record;
}

void StoredSettings::Save(int32_t camera) {
  store.SaveAnalogue(camera, analogue_copy());
  const ImageSettings saved = image_copy();
  store.SaveImage(camera, saved);
  store.SaveGrey(camera, saved);
}

settings::AnalogueRecord StoredSettings::analogue_copy() const {
  std::lock_guard<std::mutex> guard(lock);
  return analogue;
}

void StoredSettings::set_analogue(const settings::AnalogueRecord& record) {
  std::lock_guard<std::mutex> guard(lock);
  analogue = record;
}

ImageSettings StoredSettings::image_copy() const {
  std::lock_guard<std::mutex> guard(lock);
  return image;
}

}  // namespace morvex
