/*
 * MorvexSdk.h - public interface of the Morvex SWIR camera SDK.
 *
 * Every function takes the camera handle returned by Morvex_Initialize as
 * its first argument (except Morvex_Initialize and Morvex_GetDllVersion).
 * Results are 1 (or a value) on success and 0 on failure unless noted; the
 * reason of a failure is read with Morvex_GetLastError and is also posted to
 * the application window as MORVEX_WM_ERROR. Calling convention: cdecl.
 * Texts are narrow (active code page) unless the name ends in W.
 */
#ifndef MORVEX_SDK_H
#define MORVEX_SDK_H

#include <stddef.h>
#include <stdint.h>
#include <wchar.h>

#if defined(_WIN32)
#define MORVEX_CALL __cdecl
#if defined(MORVEX_SDK_BUILD)
/* The DLL's export table comes from its module-definition file. */
#define MORVEX_API
#else
#define MORVEX_API __declspec(dllimport)
#endif
#else
#define MORVEX_CALL
#if defined(MORVEX_SDK_BUILD)
#define MORVEX_API __attribute__((visibility("default")))
#else
#define MORVEX_API
#endif
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* A window handle (HWND on Windows). */
typedef void* MORVEX_HWND;

/* Library version 2.19.5.21. */
#define MORVEX_DLL_VERSION 35194145

/* Error codes (Morvex_GetLastError, lParam of MORVEX_WM_ERROR). */
#define MORVEX_ERR_SUCCESS 0
#define MORVEX_ERR_NOT_READY 1
#define MORVEX_ERR_NO_DEVICE 2
#define MORVEX_ERR_THREAD 3
#define MORVEX_ERR_WINDOW 4
#define MORVEX_ERR_BUFFER 5
#define MORVEX_ERR_DEVICE_IO 6
#define MORVEX_ERR_CAPTURE_WINDOW 7
#define MORVEX_ERR_ACQUISITION 8
#define MORVEX_ERR_ARGUMENT 9
#define MORVEX_ERR_UNSUPPORTED 11
#define MORVEX_ERR_FILE 12
#define MORVEX_ERR_STREAM_STOPPED 13
#define MORVEX_ERR_MASK_FILE 14

/* Window messages; both are posted, never sent. */
#define MORVEX_WM_FRAME 0x8002 /* callback window: wParam = MORVEX_FRAME_INFO*, or 0 and an error code in lParam */
#define MORVEX_WM_ERROR 0x8003 /* application window: wParam 0, lParam = error code */

/* Filter identifiers for Morvex_GetFilterValue / Morvex_SetFilterValue. */
#define MORVEX_FILTER_BRIGHTNESS 1
#define MORVEX_FILTER_CONTRAST 2
#define MORVEX_FILTER_HUE 3
#define MORVEX_FILTER_SATURATION 4
#define MORVEX_FILTER_SHARPNESS 5
#define MORVEX_FILTER_BAYER_GAIN_RGB 6
#define MORVEX_FILTER_BAYER_GAIN_RED 7
#define MORVEX_FILTER_BAYER_GAIN_GREEN 8
#define MORVEX_FILTER_BAYER_GAIN_BLUE 9
#define MORVEX_FILTER_BAYER_GAIN_AUTO 10
#define MORVEX_FILTER_GAMMA 11
#define MORVEX_FILTER_BAYER_MODE 12
#define MORVEX_FILTER_GLOBAL_GAIN 13
#define MORVEX_FILTER_COLOR_GAIN_RED 14
#define MORVEX_FILTER_COLOR_GAIN_GREEN1 15
#define MORVEX_FILTER_COLOR_GAIN_GREEN2 16
#define MORVEX_FILTER_COLOR_GAIN_BLUE 17
#define MORVEX_FILTER_EXPOSURE_TIME 18
#define MORVEX_FILTER_GRAY_MODE 19
#define MORVEX_FILTER_GRAY_GAIN_R 20
#define MORVEX_FILTER_GRAY_GAIN_G1 21
#define MORVEX_FILTER_GRAY_GAIN_G2 22
#define MORVEX_FILTER_GRAY_GAIN_B 23
#define MORVEX_FILTER_GRAY_OFFSET_R 24
#define MORVEX_FILTER_GRAY_OFFSET_G1 25
#define MORVEX_FILTER_GRAY_OFFSET_G2 26
#define MORVEX_FILTER_GRAY_OFFSET_B 27
#define MORVEX_FILTER_GRAY_AUTO_BALANCE 28
#define MORVEX_FILTER_CHANNEL_GAIN1 29
#define MORVEX_FILTER_CHANNEL_GAIN2 30
#define MORVEX_FILTER_CHANNEL_GAIN3 31
#define MORVEX_FILTER_CHANNEL_GAIN4 32
#define MORVEX_FILTER_CHANNEL_OFFSET1 33
#define MORVEX_FILTER_CHANNEL_OFFSET2 34
#define MORVEX_FILTER_CHANNEL_OFFSET3 35
#define MORVEX_FILTER_CHANNEL_OFFSET4 36
#define MORVEX_FILTER_PELTIER 100
#define MORVEX_FILTER_TEMPERATURE 101
#define MORVEX_FILTER_DOT 102
#define MORVEX_FILTER_MASK 103
#define MORVEX_FILTER_GAIN_LEVEL 104
#define MORVEX_FILTER_SENSOR_SWITCH 105
#define MORVEX_FILTER_BLACK_LEVEL 106

/* Auto-iris modes (Morvex_SetAutoIris). */
#define MORVEX_AUTO_IRIS_OFF 0
#define MORVEX_AUTO_IRIS_EXPOSURE 1
#define MORVEX_AUTO_IRIS_GAIN 2

/* Still-image formats (Morvex_SaveImage). */
#define MORVEX_IMAGE_BMP 0
#define MORVEX_IMAGE_RAW 1
#define MORVEX_IMAGE_JPEG_FINE 2   /* quality 100 */
#define MORVEX_IMAGE_JPEG_NORMAL 3 /* quality 70 */
#define MORVEX_IMAGE_JPEG_SMALL 4  /* quality 20 */
#define MORVEX_IMAGE_PNG 5
#define MORVEX_IMAGE_TIFF 6

/* Morvex_EnumDevice fills MORVEX_MAX_ENUM entries of MORVEX_NAME_LENGTH characters. */
#define MORVEX_MAX_ENUM 10
#define MORVEX_NAME_LENGTH 256

/* Frame description, posted by address as wParam of MORVEX_WM_FRAME. It is
   overwritten by the next frame. */
#pragma pack(push, 4)
typedef struct MORVEX_FRAME_INFO {
  int32_t reserved;     /* always 0 */
  int32_t width;        /* pixels of the frame as read */
  int32_t height;
  int32_t bitsPerPixel; /* 8, 16, 24, 32, 48 or 64 */
  int32_t frameRate;    /* tenths of frames per second; 0 for triggered frames */
  void* buffer;         /* the application buffer given with the mode, or 0 */
} MORVEX_FRAME_INFO;
#pragma pack(pop)

/* Camera information (Morvex_GetCameraInfo). Set size first: 36 or more
   fills the integers, 56 or more also the exposure times in seconds. */
typedef struct MORVEX_CAMERA_INFO {
  int32_t size;
  int32_t sensorWidth;
  int32_t sensorHeight;
  int32_t minGlobalGain;
  int32_t maxGlobalGain;
  int32_t minColorGain;
  int32_t maxColorGain;
  int32_t minExposure; /* units of 0.1 ms */
  int32_t maxExposure;
  int32_t reserved;
  double minExposureTime; /* seconds */
  double maxExposureTime;
} MORVEX_CAMERA_INFO;

/* Layout checks that work in C89/C99 and C++. */
#define MORVEX_LAYOUT_CHECK(name, cond) typedef char morvex_layout_check_##name[(cond) ? 1 : -1]
MORVEX_LAYOUT_CHECK(camera_info_size, sizeof(MORVEX_CAMERA_INFO) == 56);
MORVEX_LAYOUT_CHECK(camera_info_reserved, offsetof(MORVEX_CAMERA_INFO, reserved) == 36);
MORVEX_LAYOUT_CHECK(camera_info_min_time, offsetof(MORVEX_CAMERA_INFO, minExposureTime) == 40);
MORVEX_LAYOUT_CHECK(camera_info_max_time, offsetof(MORVEX_CAMERA_INFO, maxExposureTime) == 48);
MORVEX_LAYOUT_CHECK(frame_info_rate, offsetof(MORVEX_FRAME_INFO, frameRate) == 16);
MORVEX_LAYOUT_CHECK(frame_info_buffer, offsetof(MORVEX_FRAME_INFO, buffer) == 20);
MORVEX_LAYOUT_CHECK(frame_info_size, sizeof(MORVEX_FRAME_INFO) == 20 + sizeof(void*));

/* Frame */
MORVEX_API int MORVEX_CALL Morvex_Initialize(MORVEX_HWND window);
MORVEX_API int MORVEX_CALL Morvex_Release(int camera);
MORVEX_API int MORVEX_CALL Morvex_GetLastError(int camera);
MORVEX_API int MORVEX_CALL Morvex_GetDllVersion(void);
MORVEX_API int MORVEX_CALL Morvex_GetStatus(int camera);

/* Not supported by this camera (kept for the SDK family's interface) */
MORVEX_API int MORVEX_CALL Morvex_Fps(int camera, int value);
MORVEX_API int MORVEX_CALL Morvex_SetHalfClock(int camera, int value);
MORVEX_API int MORVEX_CALL Morvex_GetHalfClock(int camera, int* flag);
MORVEX_API int MORVEX_CALL Morvex_SetCrossbar(int camera, int output, int input);
MORVEX_API int MORVEX_CALL Morvex_SendText(int camera, const char* text);
MORVEX_API int MORVEX_CALL Morvex_ReceiveText(int camera, char* buffer, int bufferSize);
MORVEX_API int MORVEX_CALL Morvex_GetConfigFilter(int camera, int filter, int* flag);
MORVEX_API int MORVEX_CALL Morvex_SetConfigFilter(int camera, int filter, int value);

/* Direct device access */
MORVEX_API int MORVEX_CALL Morvex_ReadRegister(int camera, int reg, int* flag);
MORVEX_API int MORVEX_CALL Morvex_ReadRegisterEx(int camera, int reg, int* flag);
MORVEX_API int MORVEX_CALL Morvex_WriteRegister(int camera, int reg, int value);
MORVEX_API int MORVEX_CALL Morvex_WriteRegisterEx(int camera, int reg, int value);
MORVEX_API int MORVEX_CALL Morvex_Fpga_ReadRegister(int camera, int reg, int* flag);
MORVEX_API int MORVEX_CALL Morvex_Fpga_WriteRegister(int camera, int reg, int value);
MORVEX_API int MORVEX_CALL Morvex_GetIOPort(int camera, unsigned char* value, int reserved1, int reserved2);
MORVEX_API int MORVEX_CALL Morvex_SetIOPort(int camera, int value);
MORVEX_API int MORVEX_CALL Morvex_ReadSromID(int camera, int address, int* flag);
MORVEX_API int MORVEX_CALL Morvex_WriteSromID(int camera, int address, int value);
MORVEX_API int MORVEX_CALL Morvex_ReadSerialNumberA(int camera, char* buffer, int bufferSize);
MORVEX_API int MORVEX_CALL Morvex_ReadSerialNumberW(int camera, wchar_t* buffer, int bufferLength);

/* Device selection */
MORVEX_API int MORVEX_CALL Morvex_EnumDevice(int camera, char* names);
MORVEX_API int MORVEX_CALL Morvex_EnumDeviceW(int camera, wchar_t* names);
MORVEX_API int MORVEX_CALL Morvex_GetDeviceName(int camera, int device, char* buffer, int bufferSize);
MORVEX_API int MORVEX_CALL Morvex_GetDeviceNameW(int camera, int device, wchar_t* buffer, int bufferLength);
MORVEX_API int MORVEX_CALL Morvex_SetDeviceNumber(int camera, int device);
MORVEX_API int MORVEX_CALL Morvex_GetCameraInfo(int camera, MORVEX_CAMERA_INFO* info);
MORVEX_API int MORVEX_CALL Morvex_Close(int camera);

/* Capture geometry and video format */
MORVEX_API int MORVEX_CALL Morvex_SetCaptureWindow(int camera, int width, int height);
MORVEX_API int MORVEX_CALL Morvex_SetCaptureWindowEx(int camera, int totalH, int x, int width, int totalV, int y,
                                                     int height);
MORVEX_API int MORVEX_CALL Morvex_GetCaptureWindowEx(int camera, int* totalH, int* x, int* width, int* totalV, int* y,
                                                     int* height);
MORVEX_API int MORVEX_CALL Morvex_Width(int camera);
MORVEX_API int MORVEX_CALL Morvex_Height(int camera);
MORVEX_API int MORVEX_CALL Morvex_SetSubSample(int camera, int mode);
MORVEX_API int MORVEX_CALL Morvex_GetSubSample(int camera);
MORVEX_API int MORVEX_CALL Morvex_SetColorMode(int camera, int bitsPerPixel);
MORVEX_API int MORVEX_CALL Morvex_GetColorMode(int camera);
MORVEX_API int MORVEX_CALL Morvex_SetSamplingRate(int camera, int rate);
MORVEX_API int MORVEX_CALL Morvex_GetSamplingRate(int camera, int* rate);
MORVEX_API int MORVEX_CALL Morvex_GetVideoFormat(int camera, int* format);
MORVEX_API int MORVEX_CALL Morvex_SetWaitTime(int camera, int milliseconds);
MORVEX_API int MORVEX_CALL Morvex_GetWaitTime(int camera);

/* Acquisition; rowOrder non-zero delivers the first sensor row first */
MORVEX_API int MORVEX_CALL Morvex_Preview(int camera);
MORVEX_API int MORVEX_CALL Morvex_CallBackPreview(int camera, MORVEX_HWND window, void* buffer, int bufferSize,
                                                  int rowOrder);
MORVEX_API int MORVEX_CALL Morvex_Capture(int camera);
MORVEX_API int MORVEX_CALL Morvex_SnapShot(int camera, void* buffer, int bufferSize, int rowOrder);
MORVEX_API int MORVEX_CALL Morvex_Trigger(int camera, MORVEX_HWND window, void* buffer, int bufferSize, int rowOrder);
MORVEX_API int MORVEX_CALL Morvex_StartPreview(int camera);
MORVEX_API int MORVEX_CALL Morvex_StopPreview(int camera);
MORVEX_API int MORVEX_CALL Morvex_GetImage(int camera, void* buffer, int bufferSize, int rowOrder);

/* Preview window */
MORVEX_API int MORVEX_CALL Morvex_SetPreviewWindow(int camera, MORVEX_HWND parent, int x, int y, int width,
                                                   int height);

/* Filter values */
MORVEX_API int MORVEX_CALL Morvex_GetFilterValue(int camera, int filter, int* flag);
MORVEX_API int MORVEX_CALL Morvex_SetFilterValue(int camera, int filter, int value);
MORVEX_API int MORVEX_CALL Morvex_GetBrightness(int camera, int* flag);
MORVEX_API int MORVEX_CALL Morvex_SetBrightness(int camera, int value);
MORVEX_API int MORVEX_CALL Morvex_GetContrast(int camera, int* flag);
MORVEX_API int MORVEX_CALL Morvex_SetContrast(int camera, int value);
MORVEX_API int MORVEX_CALL Morvex_GetHue(int camera, int* flag);
MORVEX_API int MORVEX_CALL Morvex_SetHue(int camera, int value);
MORVEX_API int MORVEX_CALL Morvex_GetSaturation(int camera, int* flag);
MORVEX_API int MORVEX_CALL Morvex_SetSaturation(int camera, int value);
MORVEX_API int MORVEX_CALL Morvex_GetSharpness(int camera, int* flag);
MORVEX_API int MORVEX_CALL Morvex_SetSharpness(int camera, int value);
MORVEX_API int MORVEX_CALL Morvex_GetBayerGainRGB(int camera, int* flag);
MORVEX_API int MORVEX_CALL Morvex_SetBayerGainRGB(int camera, int value);
MORVEX_API int MORVEX_CALL Morvex_GetBayerGainRed(int camera, int* flag);
MORVEX_API int MORVEX_CALL Morvex_SetBayerGainRed(int camera, int value);
MORVEX_API int MORVEX_CALL Morvex_GetBayerGainGreen(int camera, int* flag);
MORVEX_API int MORVEX_CALL Morvex_SetBayerGainGreen(int camera, int value);
MORVEX_API int MORVEX_CALL Morvex_GetBayerGainBlue(int camera, int* flag);
MORVEX_API int MORVEX_CALL Morvex_SetBayerGainBlue(int camera, int value);
MORVEX_API int MORVEX_CALL Morvex_GetBayerGainAuto(int camera, int* flag);
MORVEX_API int MORVEX_CALL Morvex_SetBayerGainAuto(int camera, int value);
MORVEX_API int MORVEX_CALL Morvex_GetGamma(int camera, int* flag);
MORVEX_API int MORVEX_CALL Morvex_SetGamma(int camera, int value);
MORVEX_API int MORVEX_CALL Morvex_GetBayerMode(int camera, int* flag);
MORVEX_API int MORVEX_CALL Morvex_SetBayerMode(int camera, int value);
MORVEX_API int MORVEX_CALL Morvex_GetGlobalGain(int camera, int* flag);
MORVEX_API int MORVEX_CALL Morvex_SetGlobalGain(int camera, int value);
MORVEX_API int MORVEX_CALL Morvex_GetColorGainRed(int camera, int* flag);
MORVEX_API int MORVEX_CALL Morvex_SetColorGainRed(int camera, int value);
MORVEX_API int MORVEX_CALL Morvex_GetColorGainGreen1(int camera, int* flag);
MORVEX_API int MORVEX_CALL Morvex_SetColorGainGreen1(int camera, int value);
MORVEX_API int MORVEX_CALL Morvex_GetColorGainGreen2(int camera, int* flag);
MORVEX_API int MORVEX_CALL Morvex_SetColorGainGreen2(int camera, int value);
MORVEX_API int MORVEX_CALL Morvex_GetColorGainBlue(int camera, int* flag);
MORVEX_API int MORVEX_CALL Morvex_SetColorGainBlue(int camera, int value);
MORVEX_API int MORVEX_CALL Morvex_GetExposureTime(int camera, int* flag);
MORVEX_API int MORVEX_CALL Morvex_SetExposureTime(int camera, int value);
MORVEX_API int MORVEX_CALL Morvex_GetGrayMode(int camera, int* flag);
MORVEX_API int MORVEX_CALL Morvex_SetGrayMode(int camera, int value);
MORVEX_API int MORVEX_CALL Morvex_GetGrayGainR(int camera, int* flag);
MORVEX_API int MORVEX_CALL Morvex_SetGrayGainR(int camera, int value);
MORVEX_API int MORVEX_CALL Morvex_GetGrayGainG1(int camera, int* flag);
MORVEX_API int MORVEX_CALL Morvex_SetGrayGainG1(int camera, int value);
MORVEX_API int MORVEX_CALL Morvex_GetGrayGainG2(int camera, int* flag);
MORVEX_API int MORVEX_CALL Morvex_SetGrayGainG2(int camera, int value);
MORVEX_API int MORVEX_CALL Morvex_GetGrayGainB(int camera, int* flag);
MORVEX_API int MORVEX_CALL Morvex_SetGrayGainB(int camera, int value);
MORVEX_API int MORVEX_CALL Morvex_GetGrayOffsetR(int camera, int* flag);
MORVEX_API int MORVEX_CALL Morvex_SetGrayOffsetR(int camera, int value);
MORVEX_API int MORVEX_CALL Morvex_GetGrayOffsetG1(int camera, int* flag);
MORVEX_API int MORVEX_CALL Morvex_SetGrayOffsetG1(int camera, int value);
MORVEX_API int MORVEX_CALL Morvex_GetGrayOffsetG2(int camera, int* flag);
MORVEX_API int MORVEX_CALL Morvex_SetGrayOffsetG2(int camera, int value);
MORVEX_API int MORVEX_CALL Morvex_GetGrayOffsetB(int camera, int* flag);
MORVEX_API int MORVEX_CALL Morvex_SetGrayOffsetB(int camera, int value);
MORVEX_API int MORVEX_CALL Morvex_GetChannelGain(int camera, int channel, int* flag);
MORVEX_API int MORVEX_CALL Morvex_SetChannelGain(int camera, int channel, int value);
MORVEX_API int MORVEX_CALL Morvex_GetChannelOffset(int camera, int channel, int* flag);
MORVEX_API int MORVEX_CALL Morvex_SetChannelOffset(int camera, int channel, int value);
MORVEX_API int MORVEX_CALL Morvex_GetPeltier(int camera, int* flag);
MORVEX_API int MORVEX_CALL Morvex_SetPeltier(int camera, int value);
MORVEX_API int MORVEX_CALL Morvex_GetDotFilter(int camera, int* flag);
MORVEX_API int MORVEX_CALL Morvex_SetDotFilter(int camera, int value);
MORVEX_API int MORVEX_CALL Morvex_GetMaskFilter(int camera, int* flag);
MORVEX_API int MORVEX_CALL Morvex_SetMaskFilter(int camera, int value);
MORVEX_API int MORVEX_CALL Morvex_GetTemperature(int camera, int* flag);

/* Other properties */
MORVEX_API double MORVEX_CALL Morvex_GetExposureTimeEx(int camera, int* flag);
MORVEX_API int MORVEX_CALL Morvex_SetExposureTimeEx(int camera, double seconds);
MORVEX_API int MORVEX_CALL Morvex_GetRealExposureTime(int camera, int* flag);
MORVEX_API int MORVEX_CALL Morvex_SetRealExposureTime(int camera, int microseconds);
MORVEX_API double MORVEX_CALL Morvex_GetTemperatureEx(int camera, int* flag);
MORVEX_API int MORVEX_CALL Morvex_GetMirrorH(int camera);
MORVEX_API int MORVEX_CALL Morvex_SetMirrorH(int camera, int on);
MORVEX_API int MORVEX_CALL Morvex_GetMirrorV(int camera);
MORVEX_API int MORVEX_CALL Morvex_SetMirrorV(int camera, int on);
MORVEX_API int MORVEX_CALL Morvex_GetAutoIris(int camera, int* flag);
MORVEX_API int MORVEX_CALL Morvex_SetAutoIris(int camera, int mode);
MORVEX_API int MORVEX_CALL Morvex_GetInternalCorrection(int camera, int* flag);
MORVEX_API int MORVEX_CALL Morvex_SetInternalCorrection(int camera, int value);

/* Settings dialogs (modal; return after the dialog closed) */
MORVEX_API int MORVEX_CALL Morvex_SetCameraDlg(int camera, MORVEX_HWND owner);
MORVEX_API int MORVEX_CALL Morvex_SetAnalogDlg(int camera, MORVEX_HWND owner);
MORVEX_API int MORVEX_CALL Morvex_SetImageDlg(int camera, MORVEX_HWND owner);

/* Mask file and references; which: 0 dark, 1 white */
MORVEX_API int MORVEX_CALL Morvex_LoadMaskFile(int camera, const char* path);
MORVEX_API int MORVEX_CALL Morvex_LoadMaskFileW(int camera, const wchar_t* path);
MORVEX_API int MORVEX_CALL Morvex_SaveMaskFile(int camera, const char* path);
MORVEX_API int MORVEX_CALL Morvex_SaveMaskFileW(int camera, const wchar_t* path);
MORVEX_API int MORVEX_CALL Morvex_UpdateMaskData(int camera, int which);

/* Still images; format: MORVEX_IMAGE_* */
MORVEX_API int MORVEX_CALL Morvex_SaveImage(int camera, const char* path, int format);
MORVEX_API int MORVEX_CALL Morvex_SaveImageW(int camera, const wchar_t* path, int format);

/* AVI recording */
MORVEX_API int MORVEX_CALL Morvex_Record(int camera, const char* path, int durationMs, int showPreview);
MORVEX_API int MORVEX_CALL Morvex_RecordW(int camera, const wchar_t* path, int durationMs, int showPreview);

/* Configuration file */
MORVEX_API int MORVEX_CALL Morvex_LoadConfigFileA(int camera, const char* path);
MORVEX_API int MORVEX_CALL Morvex_LoadConfigFileW(int camera, const wchar_t* path);

#ifdef __cplusplus
}
#endif

#endif /* MORVEX_SDK_H */
