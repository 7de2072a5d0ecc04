#include "camera/property_table.h"

#include "device/morvex_z3u2_base.h"

namespace morvex {
namespace {

using Base = CMorvexZ3U2Base;
using Analogue = settings::AnalogueRecord;

template <int32_t settings::ImageSettingsRecord::*Field>
int32_t& Image(ImageSettings& s) {
  return s.*Field;
}
template <int Index>
int32_t& GreyGain(ImageSettings& s) {
  return s.gray_gain[Index];
}
template <int Index>
int32_t& GreyOffset(ImageSettings& s) {
  return s.gray_offset[Index];
}
template <int32_t Analogue::*Field>
int32_t& Camera(Analogue& a) {
  return a.*Field;
}

constexpr PropertyEntry Cached(int32_t id, int32_t min, int32_t max, int32_t& (*field)(ImageSettings&),
                               PropertyKind kind = PropertyKind::kImageRanged) {
  return {id, kind, min, max, field, nullptr, nullptr, nullptr, nullptr, nullptr};
}
constexpr PropertyEntry Device(int32_t id, PropertyKind kind) {
  return {id, kind, 0, 0, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr};
}
PropertyEntry Fitted(int32_t id, PropertyKind kind, DeviceHas fitted, int32_t unfitted) {
  return {id, kind, 0, 0, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, fitted, unfitted};
}
PropertyEntry ColourGain(int32_t id, int32_t& (*cache)(Analogue&), DeviceSetter set, DeviceGetter get) {
  return {
      id, PropertyKind::kColorGain, 0, 0, nullptr, cache, &Base::GetColorGainMin, &Base::GetColorGainMax, set,
      get};
}

const PropertyEntry kTable[] = {
    Cached(1, -255, 255, Image<&ImageSettings::brightness>),
    Cached(2, -127, 127, Image<&ImageSettings::contrast>),
    Cached(3, -360, 360, Image<&ImageSettings::hue>),
    Cached(4, -255, 255, Image<&ImageSettings::saturation>),
    Cached(5, 0, 30, Image<&ImageSettings::sharpness>),
    Cached(6, 0, 0, nullptr, PropertyKind::kImagePacked),
    Cached(7, 0, 400, Image<&ImageSettings::bayer_gain_red>),
    Cached(8, 0, 400, Image<&ImageSettings::bayer_gain_green>),
    Cached(9, 0, 400, Image<&ImageSettings::bayer_gain_blue>),
    Cached(10, 0, 1, Image<&ImageSettings::bayer_gain_auto>, PropertyKind::kImageFlag),
    Cached(11, 0, 200, Image<&ImageSettings::gamma>),
    Cached(12, 0, 3, Image<&ImageSettings::bayer_mode>),
    {13, PropertyKind::kGlobalGain, 0, 0, nullptr, Camera<&Analogue::global>, &Base::GetGainMin,
     &Base::GetGainMax, &Base::SetGain, &Base::GetGain},
    ColourGain(14, Camera<&Analogue::color_r>, &Base::SetGainRed, &Base::GetGainRed),
    ColourGain(15, Camera<&Analogue::color_g1>, &Base::SetGainGreen1, &Base::GetGainGreen1),
    ColourGain(16, Camera<&Analogue::color_g2>, &Base::SetGainGreen2, &Base::GetGainGreen2),
    ColourGain(17, Camera<&Analogue::color_b>, &Base::SetGainBlue, &Base::GetGainBlue),
    {18, PropertyKind::kExposure, 0, 0, nullptr, Camera<&Analogue::exposure>, &Base::GetExposureTimeMin,
     &Base::GetExposureTimeMax, &Base::SetExposureTime, &Base::GetExposureTime},
    Cached(19, 0, 2, Image<&ImageSettings::gray_mode>),
    Cached(20, 0, 255, GreyGain<0>),
    Cached(21, 0, 255, GreyGain<1>),
    Cached(22, 0, 255, GreyGain<2>),
    Cached(23, 0, 255, GreyGain<3>),
    Cached(24, -255, 255, GreyOffset<0>),
    Cached(25, -255, 255, GreyOffset<1>),
    Cached(26, -255, 255, GreyOffset<2>),
    Cached(27, -255, 255, GreyOffset<3>),
    Cached(28, 0, 1, Image<&ImageSettings::gray_auto_balance>, PropertyKind::kImageWriteOnly),
    Device(29, PropertyKind::kRefused),
    Device(30, PropertyKind::kRefused),
    Device(31, PropertyKind::kRefused),
    Device(32, PropertyKind::kRefused),
    Device(33, PropertyKind::kRefused),
    Device(34, PropertyKind::kRefused),
    Device(35, PropertyKind::kRefused),
    Device(36, PropertyKind::kRefused),
    Fitted(100, PropertyKind::kCooler, &Base::HasCooler, -1),
    Device(101, PropertyKind::kTemperature),
    Cached(102, 0, 1, Image<&ImageSettings::dot_filter>),
    Cached(103, 0, 1, Image<&ImageSettings::mask_filter>),
    Device(104, PropertyKind::kGainLevel),
    Fitted(105, PropertyKind::kAuxiliarySwitch, &Base::HasAuxiliarySwitch, 0),
    Fitted(106, PropertyKind::kBlackLevel, &Base::HasBlackLevel, 0),
};

}  // namespace

const PropertyEntry* FindProperty(int32_t id) {
  for (const PropertyEntry& entry : kTable)
    if (entry.id == id) return &entry;
  return nullptr;
}

}  // namespace morvex
