// Every handle-taking export with its unregistered-handle value, callable
// through an address found at run time (GetProcAddress / dlsym) or, in
// programs linked with the library statically, through its own address.
#pragma once

#include <cstring>
#include <vector>

#include "MorvexSdk.h"

namespace morvex::test {

// Zeroed storage handed to every pointer argument; an export called with an
// unknown handle must leave it untouched.
struct Scratch {
  alignas(16) static inline unsigned char bytes[64 * 1024];
  static bool AllZero() {
    for (unsigned char b : bytes)
      if (b != 0) return false;
    return true;
  }
};

template <typename T>
struct Arg {
  static T Get() { return reinterpret_cast<T>(Scratch::bytes); }  // pointers
};
template <>
struct Arg<int> {
  static int Get() { return 1; }
};
template <>
struct Arg<double> {
  static double Get() { return 0.5; }
};

template <typename F>
struct Invoker;
template <typename R, typename... A>
struct Invoker<R(MORVEX_CALL*)(int, A...)> {
  static double Call(void* address, int handle) {
    auto function = reinterpret_cast<R(MORVEX_CALL*)(int, A...)>(address);
    return static_cast<double>(function(handle, Arg<A>::Get()...));
  }
};

struct ExportEntry {
  const char* name;
  double (*call)(void* address, int handle);
  double unregistered;
  void* linked_address;  // set when the library is linked in
};

#if defined(MORVEX_SDK_BUILD)
#define MORVEX_LINKED_ADDRESS(name) reinterpret_cast<void*>(&name)
#else
#define MORVEX_LINKED_ADDRESS(name) nullptr
#endif
#define MORVEX_EXPORT_ENTRY(name, value) \
  ExportEntry { #name, &Invoker < decltype(&name)> ::Call, value, MORVEX_LINKED_ADDRESS(name) }

// All exports except Morvex_Initialize and Morvex_GetDllVersion, which take
// no handle.
inline std::vector<ExportEntry> HandleExports() {
  return {
      MORVEX_EXPORT_ENTRY(Morvex_Release, 0),
      MORVEX_EXPORT_ENTRY(Morvex_GetLastError, 0),
      MORVEX_EXPORT_ENTRY(Morvex_GetStatus, 0),
      MORVEX_EXPORT_ENTRY(Morvex_Fps, 0),
      MORVEX_EXPORT_ENTRY(Morvex_SetHalfClock, 0),
      MORVEX_EXPORT_ENTRY(Morvex_GetHalfClock, 0),
      MORVEX_EXPORT_ENTRY(Morvex_SetCrossbar, 0),
      MORVEX_EXPORT_ENTRY(Morvex_SendText, 0),
      MORVEX_EXPORT_ENTRY(Morvex_ReceiveText, 0),
      MORVEX_EXPORT_ENTRY(Morvex_GetConfigFilter, 0),
      MORVEX_EXPORT_ENTRY(Morvex_SetConfigFilter, 0),
      MORVEX_EXPORT_ENTRY(Morvex_ReadRegister, 0),
      MORVEX_EXPORT_ENTRY(Morvex_ReadRegisterEx, 0),
      MORVEX_EXPORT_ENTRY(Morvex_WriteRegister, 0),
      MORVEX_EXPORT_ENTRY(Morvex_WriteRegisterEx, 0),
      MORVEX_EXPORT_ENTRY(Morvex_Fpga_ReadRegister, 0),
      MORVEX_EXPORT_ENTRY(Morvex_Fpga_WriteRegister, 0),
      MORVEX_EXPORT_ENTRY(Morvex_GetIOPort, 0),
      MORVEX_EXPORT_ENTRY(Morvex_SetIOPort, 0),
      MORVEX_EXPORT_ENTRY(Morvex_ReadSromID, 0),
      MORVEX_EXPORT_ENTRY(Morvex_WriteSromID, 0),
      MORVEX_EXPORT_ENTRY(Morvex_ReadSerialNumberA, 0),
      MORVEX_EXPORT_ENTRY(Morvex_ReadSerialNumberW, 0),
      MORVEX_EXPORT_ENTRY(Morvex_EnumDevice, 0),
      MORVEX_EXPORT_ENTRY(Morvex_EnumDeviceW, 0),
      MORVEX_EXPORT_ENTRY(Morvex_GetDeviceName, 0),
      MORVEX_EXPORT_ENTRY(Morvex_GetDeviceNameW, 0),
      MORVEX_EXPORT_ENTRY(Morvex_SetDeviceNumber, 0),
      MORVEX_EXPORT_ENTRY(Morvex_GetCameraInfo, 0),
      MORVEX_EXPORT_ENTRY(Morvex_Close, 0),
      MORVEX_EXPORT_ENTRY(Morvex_SetCaptureWindow, 0),
      MORVEX_EXPORT_ENTRY(Morvex_SetCaptureWindowEx, 0),
      MORVEX_EXPORT_ENTRY(Morvex_GetCaptureWindowEx, 0),
      MORVEX_EXPORT_ENTRY(Morvex_Width, 0),
      MORVEX_EXPORT_ENTRY(Morvex_Height, 0),
      MORVEX_EXPORT_ENTRY(Morvex_SetSubSample, 0),
      MORVEX_EXPORT_ENTRY(Morvex_GetSubSample, -1),
      MORVEX_EXPORT_ENTRY(Morvex_SetColorMode, 0),
      MORVEX_EXPORT_ENTRY(Morvex_GetColorMode, -1),
      MORVEX_EXPORT_ENTRY(Morvex_SetSamplingRate, 0),
      MORVEX_EXPORT_ENTRY(Morvex_GetSamplingRate, 0),
      MORVEX_EXPORT_ENTRY(Morvex_GetVideoFormat, 0),
      MORVEX_EXPORT_ENTRY(Morvex_SetWaitTime, 0),
      MORVEX_EXPORT_ENTRY(Morvex_GetWaitTime, -1),
      MORVEX_EXPORT_ENTRY(Morvex_Preview, 0),
      MORVEX_EXPORT_ENTRY(Morvex_CallBackPreview, 0),
      MORVEX_EXPORT_ENTRY(Morvex_Capture, 0),
      MORVEX_EXPORT_ENTRY(Morvex_SnapShot, 0),
      MORVEX_EXPORT_ENTRY(Morvex_Trigger, 0),
      MORVEX_EXPORT_ENTRY(Morvex_StartPreview, 0),
      MORVEX_EXPORT_ENTRY(Morvex_StopPreview, 0),
      MORVEX_EXPORT_ENTRY(Morvex_GetImage, 0),
      MORVEX_EXPORT_ENTRY(Morvex_SetPreviewWindow, 0),
      MORVEX_EXPORT_ENTRY(Morvex_GetFilterValue, 0),
      MORVEX_EXPORT_ENTRY(Morvex_SetFilterValue, 0),
      MORVEX_EXPORT_ENTRY(Morvex_GetBrightness, 0),
      MORVEX_EXPORT_ENTRY(Morvex_SetBrightness, 0),
      MORVEX_EXPORT_ENTRY(Morvex_GetContrast, 0),
      MORVEX_EXPORT_ENTRY(Morvex_SetContrast, 0),
      MORVEX_EXPORT_ENTRY(Morvex_GetHue, 0),
      MORVEX_EXPORT_ENTRY(Morvex_SetHue, 0),
      MORVEX_EXPORT_ENTRY(Morvex_GetSaturation, 0),
      MORVEX_EXPORT_ENTRY(Morvex_SetSaturation, 0),
      MORVEX_EXPORT_ENTRY(Morvex_GetSharpness, 0),
      MORVEX_EXPORT_ENTRY(Morvex_SetSharpness, 0),
      MORVEX_EXPORT_ENTRY(Morvex_GetBayerGainRGB, 0),
      MORVEX_EXPORT_ENTRY(Morvex_SetBayerGainRGB, 0),
      MORVEX_EXPORT_ENTRY(Morvex_GetBayerGainRed, 0),
      MORVEX_EXPORT_ENTRY(Morvex_SetBayerGainRed, 0),
      MORVEX_EXPORT_ENTRY(Morvex_GetBayerGainGreen, 0),
      MORVEX_EXPORT_ENTRY(Morvex_SetBayerGainGreen, 0),
      MORVEX_EXPORT_ENTRY(Morvex_GetBayerGainBlue, 0),
      MORVEX_EXPORT_ENTRY(Morvex_SetBayerGainBlue, 0),
      MORVEX_EXPORT_ENTRY(Morvex_GetBayerGainAuto, 0),
      MORVEX_EXPORT_ENTRY(Morvex_SetBayerGainAuto, 0),
      MORVEX_EXPORT_ENTRY(Morvex_GetGamma, 0),
      MORVEX_EXPORT_ENTRY(Morvex_SetGamma, 0),
      MORVEX_EXPORT_ENTRY(Morvex_GetBayerMode, 0),
      MORVEX_EXPORT_ENTRY(Morvex_SetBayerMode, 0),
      MORVEX_EXPORT_ENTRY(Morvex_GetGlobalGain, 0),
      MORVEX_EXPORT_ENTRY(Morvex_SetGlobalGain, 0),
      MORVEX_EXPORT_ENTRY(Morvex_GetColorGainRed, 0),
      MORVEX_EXPORT_ENTRY(Morvex_SetColorGainRed, 0),
      MORVEX_EXPORT_ENTRY(Morvex_GetColorGainGreen1, 0),
      MORVEX_EXPORT_ENTRY(Morvex_SetColorGainGreen1, 0),
      MORVEX_EXPORT_ENTRY(Morvex_GetColorGainGreen2, 0),
      MORVEX_EXPORT_ENTRY(Morvex_SetColorGainGreen2, 0),
      MORVEX_EXPORT_ENTRY(Morvex_GetColorGainBlue, 0),
      MORVEX_EXPORT_ENTRY(Morvex_SetColorGainBlue, 0),
      MORVEX_EXPORT_ENTRY(Morvex_GetExposureTime, 0),
      MORVEX_EXPORT_ENTRY(Morvex_SetExposureTime, 0),
      MORVEX_EXPORT_ENTRY(Morvex_GetGrayMode, 0),
      MORVEX_EXPORT_ENTRY(Morvex_SetGrayMode, 0),
      MORVEX_EXPORT_ENTRY(Morvex_GetGrayGainR, 0),
      MORVEX_EXPORT_ENTRY(Morvex_SetGrayGainR, 0),
      MORVEX_EXPORT_ENTRY(Morvex_GetGrayGainG1, 0),
      MORVEX_EXPORT_ENTRY(Morvex_SetGrayGainG1, 0),
      MORVEX_EXPORT_ENTRY(Morvex_GetGrayGainG2, 0),
      MORVEX_EXPORT_ENTRY(Morvex_SetGrayGainG2, 0),
      MORVEX_EXPORT_ENTRY(Morvex_GetGrayGainB, 0),
      MORVEX_EXPORT_ENTRY(Morvex_SetGrayGainB, 0),
      MORVEX_EXPORT_ENTRY(Morvex_GetGrayOffsetR, 0),
      MORVEX_EXPORT_ENTRY(Morvex_SetGrayOffsetR, 0),
      MORVEX_EXPORT_ENTRY(Morvex_GetGrayOffsetG1, 0),
      MORVEX_EXPORT_ENTRY(Morvex_SetGrayOffsetG1, 0),
      MORVEX_EXPORT_ENTRY(Morvex_GetGrayOffsetG2, 0),
      MORVEX_EXPORT_ENTRY(Morvex_SetGrayOffsetG2, 0),
      MORVEX_EXPORT_ENTRY(Morvex_GetGrayOffsetB, 0),
      MORVEX_EXPORT_ENTRY(Morvex_SetGrayOffsetB, 0),
      MORVEX_EXPORT_ENTRY(Morvex_GetChannelGain, 0),
      MORVEX_EXPORT_ENTRY(Morvex_SetChannelGain, 0),
      MORVEX_EXPORT_ENTRY(Morvex_GetChannelOffset, 0),
      MORVEX_EXPORT_ENTRY(Morvex_SetChannelOffset, 0),
      MORVEX_EXPORT_ENTRY(Morvex_GetPeltier, 0),
      MORVEX_EXPORT_ENTRY(Morvex_SetPeltier, 0),
      MORVEX_EXPORT_ENTRY(Morvex_GetDotFilter, 0),
      MORVEX_EXPORT_ENTRY(Morvex_SetDotFilter, 0),
      MORVEX_EXPORT_ENTRY(Morvex_GetMaskFilter, 0),
      MORVEX_EXPORT_ENTRY(Morvex_SetMaskFilter, 0),
      MORVEX_EXPORT_ENTRY(Morvex_GetTemperature, 0),
      MORVEX_EXPORT_ENTRY(Morvex_GetExposureTimeEx, 0.0),
      MORVEX_EXPORT_ENTRY(Morvex_SetExposureTimeEx, 0),
      MORVEX_EXPORT_ENTRY(Morvex_GetRealExposureTime, 0),
      MORVEX_EXPORT_ENTRY(Morvex_SetRealExposureTime, 0),
      MORVEX_EXPORT_ENTRY(Morvex_GetTemperatureEx, 0.0),
      MORVEX_EXPORT_ENTRY(Morvex_GetMirrorH, 0),
      MORVEX_EXPORT_ENTRY(Morvex_SetMirrorH, 0),
      MORVEX_EXPORT_ENTRY(Morvex_GetMirrorV, 0),
      MORVEX_EXPORT_ENTRY(Morvex_SetMirrorV, 0),
      MORVEX_EXPORT_ENTRY(Morvex_GetAutoIris, 0),
      MORVEX_EXPORT_ENTRY(Morvex_SetAutoIris, 0),
      MORVEX_EXPORT_ENTRY(Morvex_GetInternalCorrection, 0),
      MORVEX_EXPORT_ENTRY(Morvex_SetInternalCorrection, 0),
      MORVEX_EXPORT_ENTRY(Morvex_SetCameraDlg, 0),
      MORVEX_EXPORT_ENTRY(Morvex_SetAnalogDlg, 0),
      MORVEX_EXPORT_ENTRY(Morvex_SetImageDlg, 0),
      MORVEX_EXPORT_ENTRY(Morvex_LoadMaskFile, 0),
      MORVEX_EXPORT_ENTRY(Morvex_LoadMaskFileW, 0),
      MORVEX_EXPORT_ENTRY(Morvex_SaveMaskFile, 0),
      MORVEX_EXPORT_ENTRY(Morvex_SaveMaskFileW, 0),
      MORVEX_EXPORT_ENTRY(Morvex_UpdateMaskData, 0),
      MORVEX_EXPORT_ENTRY(Morvex_SaveImage, 0),
      MORVEX_EXPORT_ENTRY(Morvex_SaveImageW, 0),
      MORVEX_EXPORT_ENTRY(Morvex_Record, 0),
      MORVEX_EXPORT_ENTRY(Morvex_RecordW, 0),
      MORVEX_EXPORT_ENTRY(Morvex_LoadConfigFileA, 0),
      MORVEX_EXPORT_ENTRY(Morvex_LoadConfigFileW, 0),
  };
}

#undef MORVEX_EXPORT_ENTRY
#undef MORVEX_LINKED_ADDRESS

}  // namespace morvex::test
