// The tone tables kept per value, rebuilt only when the value changes.
#include "imaging/adjust.h"

#include <vector>

namespace morvex::imaging {

template <typename T, typename Build>
const T* ToneTables::Get(std::vector<T>& table, int32_t& key, int32_t value, size_t size, Build build) {
  if (table.size() != size || key != value) {
    table.resize(size);
    build(value, table.data());
    key = value;
    ++builds_;
  }
  return table.data();
}

const uint8_t* ToneTables::Gamma8(int32_t v) { return Get(gamma8_, gamma8_key_, v, 256, BuildGammaTable8); }
const uint16_t* ToneTables::Gamma16(int32_t v) {
  return Get(gamma16_, gamma16_key_, v, 65536, BuildGammaTable16);
}
const uint8_t* ToneTables::Contrast8(int32_t v) {
  return Get(contrast8_, contrast8_key_, v, 256, BuildContrastTable8);
}
const uint16_t* ToneTables::Contrast16(int32_t v) {
  return Get(contrast16_, contrast16_key_, v, 65536, BuildContrastTable16);
}
const uint8_t* ToneTables::Brightness8(int32_t v) {
  return Get(brightness8_, brightness8_key_, v, 256, BuildBrightnessTable8);
}
const uint16_t* ToneTables::Brightness16(int32_t v) {
  return Get(brightness16_, brightness16_key_, v, 65536, BuildBrightnessTable16);
}
const int32_t* ToneTables::Sharpness8(int32_t v) {
  return Get(sharp8_, sharp8_key_, v, 511, [](int32_t s, int32_t* t) { BuildSharpnessTable(s, 255, t); });
}
const int32_t* ToneTables::Sharpness16(int32_t v) {
  return Get(sharp16_, sharp16_key_, v, 131071,
             [](int32_t s, int32_t* t) { BuildSharpnessTable(s, 65535, t); });
}

namespace {
template <typename T>
void ComposeChain(int32_t maximum, const T* gamma, const T* contrast, const T* brightness, T* out) {
  for (int32_t i = 0; i <= maximum; ++i) {
    T v = static_cast<T>(i);
    if (gamma) v = gamma[v];
    if (contrast) v = contrast[v];
    if (brightness) v = brightness[v];
    out[i] = v;
  }
}
}  // namespace

const uint8_t* ToneTables::Chain8(int32_t gamma, int32_t contrast, int32_t brightness) {
  if (chain8_.size() != 256 || chain8_key_[0] != gamma || chain8_key_[1] != contrast ||
      chain8_key_[2] != brightness) {
    chain8_.resize(256);
    ComposeChain<uint8_t>(255, gamma != 100 ? Gamma8(gamma) : nullptr,
                          contrast != 0 ? Contrast8(contrast) : nullptr,
                          brightness != 0 ? Brightness8(brightness) : nullptr, chain8_.data());
    chain8_key_[0] = gamma, chain8_key_[1] = contrast, chain8_key_[2] = brightness;
    ++builds_;
  }
  return chain8_.data();
}

const uint16_t* ToneTables::Chain16(int32_t gamma, int32_t contrast, int32_t brightness) {
  if (chain16_.size() != 65536 || chain16_key_[0] != gamma || chain16_key_[1] != contrast ||
      chain16_key_[2] != brightness) {
    chain16_.resize(65536);
    ComposeChain<uint16_t>(65535, gamma != 100 ? Gamma16(gamma) : nullptr,
                           contrast != 0 ? Contrast16(contrast) : nullptr,
                           brightness != 0 ? Brightness16(brightness) : nullptr, chain16_.data());
    chain16_key_[0] = gamma, chain16_key_[1] = contrast, chain16_key_[2] = brightness;
    ++builds_;
  }
  return chain16_.data();
}

}  // namespace morvex::imaging
