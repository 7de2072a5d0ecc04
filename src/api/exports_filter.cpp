// Filter-value exports: the identifier pair, the per-property one-liners and
// the properties that do not go through the pair.
#include "api/export_pattern.h"

using morvex::CMorvex;
using morvex::api::Dispatch;

int MORVEX_CALL Morvex_GetFilterValue(int camera, int filter, int* flag) {
  return Dispatch(camera, 0, [&](CMorvex& m) { return m.GetFilterValue(filter, flag); });
}

int MORVEX_CALL Morvex_SetFilterValue(int camera, int filter, int value) {
  return Dispatch(camera, 0, [&](CMorvex& m) { return m.SetFilterValue(filter, value); });
}

#define MORVEX_FILTER_PROPERTY(Name, id)                    \
  int MORVEX_CALL Morvex_Get##Name(int camera, int* flag) { \
    return Morvex_GetFilterValue(camera, id, flag);         \
  }                                                         \
  int MORVEX_CALL Morvex_Set##Name(int camera, int value) { return Morvex_SetFilterValue(camera, id, value); }

MORVEX_FILTER_PROPERTY(Brightness, MORVEX_FILTER_BRIGHTNESS)
MORVEX_FILTER_PROPERTY(Contrast, MORVEX_FILTER_CONTRAST)
MORVEX_FILTER_PROPERTY(Hue, MORVEX_FILTER_HUE)
MORVEX_FILTER_PROPERTY(Saturation, MORVEX_FILTER_SATURATION)
MORVEX_FILTER_PROPERTY(Sharpness, MORVEX_FILTER_SHARPNESS)
MORVEX_FILTER_PROPERTY(BayerGainRGB, MORVEX_FILTER_BAYER_GAIN_RGB)
MORVEX_FILTER_PROPERTY(BayerGainRed, MORVEX_FILTER_BAYER_GAIN_RED)
MORVEX_FILTER_PROPERTY(BayerGainGreen, MORVEX_FILTER_BAYER_GAIN_GREEN)
MORVEX_FILTER_PROPERTY(BayerGainBlue, MORVEX_FILTER_BAYER_GAIN_BLUE)
MORVEX_FILTER_PROPERTY(BayerGainAuto, MORVEX_FILTER_BAYER_GAIN_AUTO)
MORVEX_FILTER_PROPERTY(Gamma, MORVEX_FILTER_GAMMA)
MORVEX_FILTER_PROPERTY(BayerMode, MORVEX_FILTER_BAYER_MODE)
MORVEX_FILTER_PROPERTY(GlobalGain, MORVEX_FILTER_GLOBAL_GAIN)
MORVEX_FILTER_PROPERTY(ColorGainRed, MORVEX_FILTER_COLOR_GAIN_RED)
MORVEX_FILTER_PROPERTY(ColorGainGreen1, MORVEX_FILTER_COLOR_GAIN_GREEN1)
MORVEX_FILTER_PROPERTY(ColorGainGreen2, MORVEX_FILTER_COLOR_GAIN_GREEN2)
MORVEX_FILTER_PROPERTY(ColorGainBlue, MORVEX_FILTER_COLOR_GAIN_BLUE)
MORVEX_FILTER_PROPERTY(ExposureTime, MORVEX_FILTER_EXPOSURE_TIME)
MORVEX_FILTER_PROPERTY(GrayMode, MORVEX_FILTER_GRAY_MODE)
MORVEX_FILTER_PROPERTY(GrayGainR, MORVEX_FILTER_GRAY_GAIN_R)
MORVEX_FILTER_PROPERTY(GrayGainG1, MORVEX_FILTER_GRAY_GAIN_G1)
MORVEX_FILTER_PROPERTY(GrayGainG2, MORVEX_FILTER_GRAY_GAIN_G2)
MORVEX_FILTER_PROPERTY(GrayGainB, MORVEX_FILTER_GRAY_GAIN_B)
MORVEX_FILTER_PROPERTY(GrayOffsetR, MORVEX_FILTER_GRAY_OFFSET_R)
MORVEX_FILTER_PROPERTY(GrayOffsetG1, MORVEX_FILTER_GRAY_OFFSET_G1)
MORVEX_FILTER_PROPERTY(GrayOffsetG2, MORVEX_FILTER_GRAY_OFFSET_G2)
MORVEX_FILTER_PROPERTY(GrayOffsetB, MORVEX_FILTER_GRAY_OFFSET_B)
MORVEX_FILTER_PROPERTY(Peltier, MORVEX_FILTER_PELTIER)
MORVEX_FILTER_PROPERTY(DotFilter, MORVEX_FILTER_DOT)
MORVEX_FILTER_PROPERTY(MaskFilter, MORVEX_FILTER_MASK)

#undef MORVEX_FILTER_PROPERTY

int MORVEX_CALL Morvex_GetTemperature(int camera, int* flag) {
  return Morvex_GetFilterValue(camera, MORVEX_FILTER_TEMPERATURE, flag);
}

// Channels 1-4; any other channel answers 0 and records nothing.
int MORVEX_CALL Morvex_GetChannelGain(int camera, int channel, int* flag) {
  if (channel < 1 || channel > 4) return 0;
  return Morvex_GetFilterValue(camera, MORVEX_FILTER_CHANNEL_GAIN1 + channel - 1, flag);
}

int MORVEX_CALL Morvex_SetChannelGain(int camera, int channel, int value) {
  if (channel < 1 || channel > 4) return 0;
  return Morvex_SetFilterValue(camera, MORVEX_FILTER_CHANNEL_GAIN1 + channel - 1, value);
}

int MORVEX_CALL Morvex_GetChannelOffset(int camera, int channel, int* flag) {
  if (channel < 1 || channel > 4) return 0;
  return Morvex_GetFilterValue(camera, MORVEX_FILTER_CHANNEL_OFFSET1 + channel - 1, flag);
}

int MORVEX_CALL Morvex_SetChannelOffset(int camera, int channel, int value) {
  if (channel < 1 || channel > 4) return 0;
  return Morvex_SetFilterValue(camera, MORVEX_FILTER_CHANNEL_OFFSET1 + channel - 1, value);
}

double MORVEX_CALL Morvex_GetExposureTimeEx(int camera, int* flag) {
  return Dispatch(camera, 0.0, [&](CMorvex& m) { return m.GetExposureTimeEx(flag); });
}

int MORVEX_CALL Morvex_SetExposureTimeEx(int camera, double seconds) {
  return Dispatch(camera, 0, [&](CMorvex& m) { return m.SetExposureTimeEx(seconds); });
}

int MORVEX_CALL Morvex_GetRealExposureTime(int camera, int* flag) {
  return Dispatch(camera, 0, [&](CMorvex& m) { return m.GetRealExposureTime(flag); });
}

int MORVEX_CALL Morvex_SetRealExposureTime(int camera, int microseconds) {
  return Dispatch(camera, 0, [&](CMorvex& m) { return m.SetRealExposureTime(microseconds); });
}

double MORVEX_CALL Morvex_GetTemperatureEx(int camera, int* flag) {
  return Dispatch(camera, 0.0, [&](CMorvex& m) { return m.GetTemperatureEx(flag); });
}

int MORVEX_CALL Morvex_GetMirrorH(int camera) {
  return Dispatch(camera, 0, [](CMorvex& m) { return m.GetMirrorH(); });
}

int MORVEX_CALL Morvex_SetMirrorH(int camera, int on) {
  return Dispatch(camera, 0, [&](CMorvex& m) { return m.SetMirrorH(on); });
}

int MORVEX_CALL Morvex_GetMirrorV(int camera) {
  return Dispatch(camera, 0, [](CMorvex& m) { return m.GetMirrorV(); });
}

int MORVEX_CALL Morvex_SetMirrorV(int camera, int on) {
  return Dispatch(camera, 0, [&](CMorvex& m) { return m.SetMirrorV(on); });
}

int MORVEX_CALL Morvex_GetAutoIris(int camera, int* flag) {
  return Dispatch(camera, 0, [&](CMorvex& m) { return m.GetAutoIris(flag); });
}

int MORVEX_CALL Morvex_SetAutoIris(int camera, int mode) {
  return Dispatch(camera, 0, [&](CMorvex& m) { return m.SetAutoIris(mode); });
}

int MORVEX_CALL Morvex_GetInternalCorrection(int camera, int* flag) {
  return Dispatch(camera, 0, [&](CMorvex& m) { return m.GetInternalCorrection(flag); });
}

int MORVEX_CALL Morvex_SetInternalCorrection(int camera, int value) {
  return Dispatch(camera, 0, [&](CMorvex& m) { return m.SetInternalCorrection(value); });
}
