/**
 * @file MorvexSdk.h
 * @brief Public interface of the Morvex SWIR camera SDK.
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

/** A window handle (HWND on Windows). */
typedef void* MORVEX_HWND;

/** Library version 2.19.5.21, as Morvex_GetDllVersion returns it. */
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
/* Callback window: wParam = MORVEX_FRAME_INFO*, or 0 and an error code in lParam. */
#define MORVEX_WM_FRAME 0x8002
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

/** Frame description, posted by address as wParam of MORVEX_WM_FRAME. It is
   overwritten by the next frame. */
#pragma pack(push, 4)
typedef struct MORVEX_FRAME_INFO {
  int32_t reserved; /**< always 0 */
  int32_t width;    /**< pixels of the frame as read */
  int32_t height;
  int32_t bitsPerPixel; /**< 8, 16, 24, 32, 48 or 64 */
  int32_t frameRate;    /**< tenths of frames per second; 0 for triggered frames */
  void* buffer;         /**< the application buffer given with the mode, or 0 */
} MORVEX_FRAME_INFO;
#pragma pack(pop)

/** Camera information (Morvex_GetCameraInfo). Set size first: 36 or more
   fills the integers, 56 or more also the exposure times in seconds. */
typedef struct MORVEX_CAMERA_INFO {
  int32_t size;
  int32_t sensorWidth;
  int32_t sensorHeight;
  int32_t minGlobalGain;
  int32_t maxGlobalGain;
  int32_t minColorGain;
  int32_t maxColorGain;
  int32_t minExposure; /**< units of 0.1 ms */
  int32_t maxExposure;
  int32_t reserved;
  double minExposureTime; /**< seconds */
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
/**
 * Creates a camera instance and returns its handle. Opens device number 0
 * when exactly one camera is attached and loads its stored settings.
 * @param window application window that receives MORVEX_WM_ERROR and the
 *        system's device arrival and removal notices; may be NULL.
 * @return the camera handle, 0 only when the instance cannot be created.
 *         A failed initialisation still returns a handle: its reason is in
 *         Morvex_GetLastError, and the handle must be released.
 */
MORVEX_API int MORVEX_CALL Morvex_Initialize(MORVEX_HWND window);
/**
 * Stops acquisition and recording, saves the camera's settings, closes the
 * camera and ends the handle.
 * @param camera handle from Morvex_Initialize.
 * @return 1, or 0 for a handle that is not registered.
 */
MORVEX_API int MORVEX_CALL Morvex_Release(int camera);
/**
 * Pops the newest error code from the camera's error history (the newest 20
 * codes are kept).
 * @param camera camera handle.
 * @return the code (MORVEX_ERR_*); 0 when the history is empty or the handle
 *         is not registered. Successive calls return older codes.
 */
MORVEX_API int MORVEX_CALL Morvex_GetLastError(int camera);
/**
 * Reports the library version.
 * @return MORVEX_DLL_VERSION (0x02190521, version 2.19.5.21).
 */
MORVEX_API int MORVEX_CALL Morvex_GetDllVersion(void);
/**
 * Kept for the interface of the camera family.
 * @param camera camera handle.
 * @return always 0.
 */
MORVEX_API int MORVEX_CALL Morvex_GetStatus(int camera);

/* Not supported by this camera (kept for the SDK family's interface) */
/**
 * Not supported by this camera; posts MORVEX_ERR_UNSUPPORTED to the
 * application window without recording it. Arguments after the handle are
 * ignored.
 * @return always 0.
 */
MORVEX_API int MORVEX_CALL Morvex_Fps(int camera, int value);
/**
 * Not supported by this camera; posts MORVEX_ERR_UNSUPPORTED to the
 * application window without recording it. Arguments after the handle are
 * ignored.
 * @return always 0.
 */
MORVEX_API int MORVEX_CALL Morvex_SetHalfClock(int camera, int value);
/**
 * Not supported by this camera; posts MORVEX_ERR_UNSUPPORTED to the
 * application window without recording it. Arguments after the handle are
 * ignored.
 * @return always 0.
 */
MORVEX_API int MORVEX_CALL Morvex_GetHalfClock(int camera, int* flag);
/**
 * Not supported by this camera; posts MORVEX_ERR_UNSUPPORTED to the
 * application window without recording it. Arguments after the handle are
 * ignored.
 * @return always 0.
 */
MORVEX_API int MORVEX_CALL Morvex_SetCrossbar(int camera, int output, int input);
/**
 * Not supported by this camera; records MORVEX_ERR_UNSUPPORTED.
 * @return always 0.
 */
MORVEX_API int MORVEX_CALL Morvex_SendText(int camera, const char* text);
/**
 * Not supported by this camera; records MORVEX_ERR_UNSUPPORTED.
 * @return always 0.
 */
MORVEX_API int MORVEX_CALL Morvex_ReceiveText(int camera, char* buffer, int bufferSize);
/**
 * Not supported by this camera; records MORVEX_ERR_UNSUPPORTED.
 * @return -1 for a registered handle, 0 otherwise.
 */
MORVEX_API int MORVEX_CALL Morvex_GetConfigFilter(int camera, int filter, int* flag);
/**
 * Not supported by this camera; records MORVEX_ERR_UNSUPPORTED.
 * @return -1 for a registered handle, 0 otherwise.
 */
MORVEX_API int MORVEX_CALL Morvex_SetConfigFilter(int camera, int filter, int value);

/* Direct device access */
/**
 * Reads a sensor register.
 * @param camera camera handle.
 * @param reg register address; only the low 8 bits are used.
 * @param flag optional; receives 1 on success, 0 on failure.
 * @return the register value, 0 on failure.
 * @par Errors
 * MORVEX_ERR_DEVICE_IO when the read fails, MORVEX_ERR_NOT_READY without a device.
 */
MORVEX_API int MORVEX_CALL Morvex_ReadRegister(int camera, int reg, int* flag);
/**
 * Reads a sensor register with a full 16-bit address.
 * @param camera camera handle.
 * @param reg register address, unmasked.
 * @param flag optional; receives 1 on success, 0 on failure.
 * @return the register value, 0 on failure.
 * @par Errors
 * MORVEX_ERR_DEVICE_IO when the read fails, MORVEX_ERR_NOT_READY without a device.
 */
MORVEX_API int MORVEX_CALL Morvex_ReadRegisterEx(int camera, int reg, int* flag);
/**
 * Writes the low 16 bits of a value to a sensor register.
 * @param camera camera handle.
 * @param reg register address; only the low 8 bits are used.
 * @param value value to write.
 * @return 1 on success, 0 on failure.
 * @par Errors
 * MORVEX_ERR_DEVICE_IO when the write fails, MORVEX_ERR_NOT_READY without a device.
 */
MORVEX_API int MORVEX_CALL Morvex_WriteRegister(int camera, int reg, int value);
/**
 * Writes a sensor register with address and value passed unmasked.
 * @param camera camera handle.
 * @param reg register address (16 bits).
 * @param value value to write.
 * @return 1 on success, 0 on failure.
 * @par Errors
 * MORVEX_ERR_DEVICE_IO when the write fails, MORVEX_ERR_NOT_READY without a device.
 */
MORVEX_API int MORVEX_CALL Morvex_WriteRegisterEx(int camera, int reg, int value);
/**
 * Reads a 16-bit FPGA register.
 * @param camera camera handle.
 * @param reg register number; only the low 8 bits are used.
 * @param flag optional; receives 1 on success, 0 on failure.
 * @return the value zero-extended, 0 on failure.
 * @par Errors
 * MORVEX_ERR_DEVICE_IO when the read fails, MORVEX_ERR_NOT_READY without a device.
 */
MORVEX_API int MORVEX_CALL Morvex_Fpga_ReadRegister(int camera, int reg, int* flag);
/**
 * Writes the low 16 bits of a value to an FPGA register.
 * @param camera camera handle.
 * @param reg register number; only the low 8 bits are used.
 * @param value value to write.
 * @return 1 on success, 0 on failure.
 * @par Errors
 * MORVEX_ERR_DEVICE_IO when the write fails, MORVEX_ERR_NOT_READY without a device.
 */
MORVEX_API int MORVEX_CALL Morvex_Fpga_WriteRegister(int camera, int reg, int value);
/**
 * Reads the general-purpose I/O port (FPGA register 7).
 * @param camera camera handle.
 * @param value receives the port's low byte.
 * @param reserved1 ignored.
 * @param reserved2 ignored.
 * @return 1 on success, 0 on failure.
 * @par Errors
 * Posted only (not in the error history): MORVEX_ERR_ARGUMENT for a NULL
 * pointer or a failed read, MORVEX_ERR_NOT_READY without a device.
 */
MORVEX_API int MORVEX_CALL Morvex_GetIOPort(int camera, unsigned char* value, int reserved1, int reserved2);
/**
 * Writes the low 8 bits of a value to the general-purpose I/O port (FPGA
 * register 7).
 * @param camera camera handle.
 * @param value port value.
 * @return the device's answer: 1 on success, 0 on failure.
 * @par Errors
 * MORVEX_ERR_NOT_READY without a device (posted only).
 */
MORVEX_API int MORVEX_CALL Morvex_SetIOPort(int camera, int value);
/**
 * Reads one byte of the camera's EEPROM.
 * @param camera camera handle.
 * @param address EEPROM address; only the low 12 bits are used.
 * @param flag optional; receives 1 on success, 0 on failure.
 * @return the byte, 0 on failure.
 * @par Errors
 * MORVEX_ERR_NOT_READY for a failed read or without a device (posted only).
 */
MORVEX_API int MORVEX_CALL Morvex_ReadSromID(int camera, int address, int* flag);
/**
 * Writes one byte of the camera's EEPROM, then reads it back up to ten
 * times, writing again while it differs.
 * @param camera camera handle.
 * @param address EEPROM address; only the low 12 bits are used.
 * @param value byte to write (low 8 bits).
 * @return 1 once the first write succeeded (whatever the read-back found),
 *         0 when it failed.
 * @par Errors
 * MORVEX_ERR_NOT_READY for a failed write or read-back or without a device
 * (posted only).
 */
MORVEX_API int MORVEX_CALL Morvex_WriteSromID(int camera, int address, int value);
/**
 * Reads the serial number stored in the camera's EEPROM.
 * @param camera camera handle.
 * @param buffer receives the text; left untouched when no serial number is
 *        stored.
 * @param bufferSize size of buffer in bytes; at least 32.
 * @return 1 when the EEPROM could be read (also when nothing is stored),
 *         0 on failure.
 * @par Errors
 * MORVEX_ERR_ARGUMENT for a buffer below 32 bytes, MORVEX_ERR_BUFFER when
 * the stored text has no end within 32 bytes, MORVEX_ERR_NOT_READY without
 * a device.
 */
MORVEX_API int MORVEX_CALL Morvex_ReadSerialNumberA(int camera, char* buffer, int bufferSize);
/**
 * Wide-character version of Morvex_ReadSerialNumberA.
 * @param camera camera handle.
 * @param buffer receives the text.
 * @param bufferLength length of buffer in characters.
 * @return 1 on success, 0 on failure.
 * @par Errors
 * As Morvex_ReadSerialNumberA; MORVEX_ERR_FILE when the converted text with
 * its terminator does not fit the buffer.
 */
MORVEX_API int MORVEX_CALL Morvex_ReadSerialNumberW(int camera, wchar_t* buffer, int bufferLength);

/* Device selection */
/**
 * Lists the attached cameras by name ("MorvexVelsaTEC_01", ...).
 * @param camera camera handle.
 * @param names buffer of MORVEX_MAX_ENUM entries of MORVEX_NAME_LENGTH
 *        characters; entries after the last camera are empty. At most
 *        MORVEX_MAX_ENUM names are written.
 * @return the number of names written.
 * @par Errors
 * MORVEX_ERR_NOT_READY without a device object.
 */
MORVEX_API int MORVEX_CALL Morvex_EnumDevice(int camera, char* names);
/**
 * Wide-character version of Morvex_EnumDevice.
 * @param camera camera handle.
 * @param names buffer of MORVEX_MAX_ENUM entries of MORVEX_NAME_LENGTH wide
 *        characters.
 * @return the number of names written.
 * @par Errors
 * MORVEX_ERR_NOT_READY without a device object.
 */
MORVEX_API int MORVEX_CALL Morvex_EnumDeviceW(int camera, wchar_t* names);
/**
 * Gives the name of the camera with a device number.
 * @param camera camera handle.
 * @param device device number, 0 for the first camera.
 * @param buffer receives the name, "MorvexVelsaTEC_%02d" of device + 1.
 * @param bufferSize size of buffer in bytes; more than 16.
 * @return 1 on success, 0 on failure.
 * @par Errors
 * MORVEX_ERR_ARGUMENT for a buffer of 16 bytes or less, MORVEX_ERR_NO_DEVICE
 * when no such camera is attached, MORVEX_ERR_NOT_READY without a device
 * object.
 */
MORVEX_API int MORVEX_CALL Morvex_GetDeviceName(int camera, int device, char* buffer, int bufferSize);
/**
 * Wide-character version of Morvex_GetDeviceName. For a camera that is not
 * attached it returns 1 with an empty name after recording
 * MORVEX_ERR_NO_DEVICE.
 * @param camera camera handle.
 * @param device device number.
 * @param buffer receives the name.
 * @param bufferLength length of buffer in characters.
 * @return 1 on success, 0 on failure.
 * @par Errors
 * As Morvex_GetDeviceName; MORVEX_ERR_FILE when the name does not fit.
 */
MORVEX_API int MORVEX_CALL Morvex_GetDeviceNameW(int camera, int device, wchar_t* buffer, int bufferLength);
/**
 * Selects and opens a camera. The settings of the previously selected
 * camera are saved first; those of the new one are loaded and sent to it.
 * Selecting the open camera again does nothing.
 * @param camera camera handle.
 * @param device device number, 0 for the first camera.
 * @return 1 on success, 0 on failure (the previous selection stays).
 * @par Errors
 * MORVEX_ERR_NO_DEVICE when the camera is absent or cannot be opened,
 * MORVEX_ERR_NOT_READY without a device object.
 */
MORVEX_API int MORVEX_CALL Morvex_SetDeviceNumber(int camera, int device);
/**
 * Fills a camera information record with the sensor size and the ranges of
 * gain and exposure.
 * @param camera camera handle.
 * @param info record whose size member the caller sets: 36 to 55 fills the
 *        integers, 56 or more also the exposure times in seconds.
 * @return 1 on success, 0 on failure.
 * @par Errors
 * MORVEX_ERR_ARGUMENT for NULL, MORVEX_ERR_BUFFER for a size of 35 or less,
 * MORVEX_ERR_NOT_READY without a device.
 */
MORVEX_API int MORVEX_CALL Morvex_GetCameraInfo(int camera, MORVEX_CAMERA_INFO* info);
/**
 * Ends acquisition and recording and removes the preview window. The handle
 * and the camera selection stay valid.
 * @param camera camera handle.
 * @return 1.
 */
MORVEX_API int MORVEX_CALL Morvex_Close(int camera);

/* Capture geometry and video format */
/**
 * Sets the capture window to the stored size preset ("Size_%02d" under the
 * settings key) with this width and height and sends it to the camera.
 * @param camera camera handle.
 * @param width capture width in pixels.
 * @param height capture height in pixels.
 * @return 1 on success, 0 on failure.
 * @par Errors
 * MORVEX_ERR_WINDOW when there is no settings key or no matching preset,
 * MORVEX_ERR_CAPTURE_WINDOW when the preset lies outside the sensor (the
 * full sensor is used instead), MORVEX_ERR_NOT_READY without a device.
 */
MORVEX_API int MORVEX_CALL Morvex_SetCaptureWindow(int camera, int width, int height);
/**
 * Sets the capture window and sends it to the camera. The values are kept
 * even when refused as outside the sensor; every start then fails until a
 * valid window is set.
 * @param camera camera handle.
 * @param totalH horizontal total (kept, 640).
 * @param x x offset in pixels.
 * @param width width in pixels; x + width at most 640.
 * @param totalV vertical total (kept, 512).
 * @param y y offset in pixels.
 * @param height height in pixels; y + height at most 512.
 * @return 1 on success, 0 on failure.
 * @par Errors
 * MORVEX_ERR_ARGUMENT for a width or height the camera cannot window,
 * MORVEX_ERR_CAPTURE_WINDOW for a window outside the sensor,
 * MORVEX_ERR_NOT_READY without a device.
 */
MORVEX_API int MORVEX_CALL Morvex_SetCaptureWindowEx(int camera, int totalH, int x, int width, int totalV,
                                                     int y, int height);
/**
 * Reads the capture window; NULL pointers are skipped.
 * @param camera camera handle.
 * @param totalH horizontal total.
 * @param x x offset.
 * @param width capture width.
 * @param totalV vertical total.
 * @param y y offset.
 * @param height capture height.
 * @return 1.
 */
MORVEX_API int MORVEX_CALL Morvex_GetCaptureWindowEx(int camera, int* totalH, int* x, int* width, int* totalV,
                                                     int* y, int* height);
/**
 * Capture width, not divided by subsampling.
 * @param camera camera handle.
 * @return the width in pixels.
 */
MORVEX_API int MORVEX_CALL Morvex_Width(int camera);
/**
 * Capture height, not divided by subsampling.
 * @param camera camera handle.
 * @return the height in pixels.
 */
MORVEX_API int MORVEX_CALL Morvex_Height(int camera);
/**
 * Sets subsampling for the next start.
 * @param camera camera handle.
 * @param mode 0 full resolution, 1 half width and height.
 * @return 1 for 0 or 1; 0 for other modes, without an error code.
 */
MORVEX_API int MORVEX_CALL Morvex_SetSubSample(int camera, int mode);
/**
 * Reads the subsample mode.
 * @param camera camera handle.
 * @return the mode; -1 for a handle that is not registered.
 */
MORVEX_API int MORVEX_CALL Morvex_GetSubSample(int camera);
/**
 * Sets the pixel format of the images the application receives, from the
 * next start on: 8 or 16 grey, 24 or 32 colour from 8-bit data, 48 or 64
 * colour from 16-bit data.
 * @param camera camera handle.
 * @param bitsPerPixel 8, 16, 24, 32, 48 or 64.
 * @return 1 on success, 0 on failure.
 * @par Errors
 * MORVEX_ERR_ARGUMENT for other values or a format the camera lacks.
 */
MORVEX_API int MORVEX_CALL Morvex_SetColorMode(int camera, int bitsPerPixel);
/**
 * Reads the colour mode.
 * @param camera camera handle.
 * @return bits per pixel (8 ... 64); -1 for a handle that is not registered.
 */
MORVEX_API int MORVEX_CALL Morvex_GetColorMode(int camera);
/**
 * Kept for the interface of the camera family; this camera has no sampling
 * rate.
 * @param camera camera handle.
 * @param rate ignored by this camera.
 * @return 0.
 */
MORVEX_API int MORVEX_CALL Morvex_SetSamplingRate(int camera, int rate);
/**
 * Kept for the interface of the camera family.
 * @param camera camera handle.
 * @param rate optional; receives 0.
 * @return 0.
 */
MORVEX_API int MORVEX_CALL Morvex_GetSamplingRate(int camera, int* rate);
/**
 * Kept for the interface of the camera family.
 * @param camera camera handle.
 * @param format optional; receives 0.
 * @return 0.
 */
MORVEX_API int MORVEX_CALL Morvex_GetVideoFormat(int camera, int* format);
/**
 * Sets the time the preview thread sleeps before waiting for each frame;
 * it bounds the preview rate.
 * @param camera camera handle.
 * @param milliseconds 0 or more (default 10).
 * @return 1; 0 for a negative value, without an error code.
 */
MORVEX_API int MORVEX_CALL Morvex_SetWaitTime(int camera, int milliseconds);
/**
 * Reads the wait time.
 * @param camera camera handle.
 * @return milliseconds; -1 for a handle that is not registered.
 */
MORVEX_API int MORVEX_CALL Morvex_GetWaitTime(int camera);

/* Acquisition; rowOrder non-zero delivers the first sensor row first */
/**
 * Starts the live preview in the library's own window (a child window when
 * Morvex_SetPreviewWindow gave a parent, a centred top-level window
 * otherwise; none when parent and placement are all 0). Forgets any
 * callback window and buffer.
 * @param camera camera handle.
 * @return 1 on success, 0 on failure.
 * @par Errors
 * MORVEX_ERR_WINDOW when the window cannot be created,
 * MORVEX_ERR_ACQUISITION when the preview does not start (after the
 * starting step's own code, see Morvex_StartPreview).
 */
MORVEX_API int MORVEX_CALL Morvex_Preview(int camera);
/**
 * Starts the live preview as Morvex_Preview and, for every frame, copies the
 * image into the buffer and posts MORVEX_WM_FRAME with a MORVEX_FRAME_INFO
 * to the callback window. A failure in the preview thread is posted as
 * MORVEX_WM_FRAME with wParam 0 and the code in lParam:
 * MORVEX_ERR_STREAM_STOPPED (the camera stopped streaming, for example it
 * was unplugged; the thread ends), MORVEX_ERR_ACQUISITION (a frame could not
 * be read), MORVEX_ERR_BUFFER (the buffer is too small; that frame is not
 * announced).
 * @param camera camera handle.
 * @param window callback window; may be NULL.
 * @param buffer application buffer of stride x height bytes (rows padded to
 *        4 bytes), or NULL for no copy.
 * @param bufferSize size of buffer in bytes.
 * @param rowOrder non-zero: first sensor row first; 0: bottom-up, as a DIB.
 * @return 1 on success, 0 on failure.
 * @par Errors
 * As Morvex_Preview.
 */
MORVEX_API int MORVEX_CALL Morvex_CallBackPreview(int camera, MORVEX_HWND window, void* buffer,
                                                  int bufferSize, int rowOrder);
/**
 * Prepares the camera for single frames taken with Morvex_SnapShot; the
 * stream is not stopped between snapshots.
 * @param camera camera handle.
 * @return 1 on success, 0 on failure.
 * @par Errors
 * MORVEX_ERR_NOT_READY during a preview or trigger or without a device;
 * MORVEX_ERR_NO_DEVICE, MORVEX_ERR_CAPTURE_WINDOW or MORVEX_ERR_BUFFER when
 * preparing fails.
 */
MORVEX_API int MORVEX_CALL Morvex_Capture(int camera);
/**
 * Takes one frame now, processes it and copies it into the buffer. Works
 * from idle or after Morvex_Capture.
 * @param camera camera handle.
 * @param buffer receives the image (stride x height bytes), or NULL.
 * @param bufferSize size of buffer in bytes.
 * @param rowOrder non-zero: first sensor row first; 0: bottom-up.
 * @return 1 on success, 0 on failure.
 * @par Errors
 * MORVEX_ERR_NOT_READY during a preview or trigger or without a device,
 * MORVEX_ERR_ACQUISITION when no frame arrives, MORVEX_ERR_BUFFER when the
 * buffer is too small; the codes of Morvex_Capture when preparing fails.
 */
MORVEX_API int MORVEX_CALL Morvex_SnapShot(int camera, void* buffer, int bufferSize, int rowOrder);
/**
 * Starts triggered acquisition: each externally triggered frame is
 * processed, copied into the buffer and announced with MORVEX_WM_FRAME
 * (frame rate 0).
 * @param camera camera handle.
 * @param window callback window; may be NULL.
 * @param buffer application buffer, or NULL.
 * @param bufferSize size of buffer in bytes.
 * @param rowOrder non-zero: first sensor row first; 0: bottom-up.
 * @return 1 on success, 0 on failure.
 * @par Errors
 * MORVEX_ERR_NOT_READY during a preview or capture or without a device,
 * MORVEX_ERR_WINDOW, MORVEX_ERR_THREAD; the codes of Morvex_Capture when
 * preparing fails.
 */
MORVEX_API int MORVEX_CALL Morvex_Trigger(int camera, MORVEX_HWND window, void* buffer, int bufferSize,
                                          int rowOrder);
/**
 * Starts continuous acquisition without changing window or buffer
 * settings. Returns 1 at once when a preview already runs.
 * @param camera camera handle.
 * @return 1 on success, 0 on failure.
 * @par Errors
 * MORVEX_ERR_NOT_READY during capture or trigger or without a device,
 * MORVEX_ERR_DEVICE_IO when the camera refuses to stream,
 * MORVEX_ERR_THREAD; the codes of Morvex_Capture when preparing fails.
 */
MORVEX_API int MORVEX_CALL Morvex_StartPreview(int camera);
/**
 * Stops any acquisition (preview, capture, trigger) and a running recording,
 * and waits for their threads.
 * @param camera camera handle.
 * @return 1 on success, 0 without a device (MORVEX_ERR_NOT_READY).
 */
MORVEX_API int MORVEX_CALL Morvex_StopPreview(int camera);
/**
 * Copies the current output image (the last processed frame).
 * @param camera camera handle.
 * @param buffer receives stride x height bytes.
 * @param bufferSize size of buffer in bytes.
 * @param rowOrder non-zero: first sensor row first; 0: bottom-up.
 * @return 1 on success, 0 on failure.
 * @par Errors
 * MORVEX_ERR_BUFFER when no image is held yet or the buffer is NULL or too
 * small, MORVEX_ERR_NOT_READY without a device or image.
 */
MORVEX_API int MORVEX_CALL Morvex_GetImage(int camera, void* buffer, int bufferSize, int rowOrder);

/* Preview window */
/**
 * Places the preview window used by the next start: a child window of
 * parent at x, y with width and height, or with parent NULL a top-level
 * window. All five values 0 run acquisition without a window. Does not move
 * an existing window.
 * @param camera camera handle.
 * @param parent parent window, or NULL.
 * @param x left edge in the parent's client area.
 * @param y top edge.
 * @param width width in pixels.
 * @param height height in pixels.
 * @return 1, or 0 without a device (MORVEX_ERR_NOT_READY).
 */
MORVEX_API int MORVEX_CALL Morvex_SetPreviewWindow(int camera, MORVEX_HWND parent, int x, int y, int width,
                                                   int height);

/* Filter values */
/**
 * Reads a camera or image property by its identifier (MORVEX_FILTER_*).
 * @param camera camera handle.
 * @param filter the identifier.
 * @param flag optional; receives 1 on success, 0 on failure.
 * @return the value; on failure 0, or -1 for the temperature and for the
 *         cooler of a camera without one.
 * @par Errors
 * MORVEX_ERR_ARGUMENT for an unknown or unreadable identifier,
 * MORVEX_ERR_UNSUPPORTED for a feature the camera lacks (the temperature is
 * read with Morvex_GetTemperatureEx), MORVEX_ERR_DEVICE_IO when the camera
 * does not answer, MORVEX_ERR_NOT_READY without a device.
 */
MORVEX_API int MORVEX_CALL Morvex_GetFilterValue(int camera, int filter, int* flag);
/**
 * Sets a camera or image property by its identifier (MORVEX_FILTER_*).
 * Image properties apply from the next processed frame; camera properties
 * go to the camera at once.
 * @param camera camera handle.
 * @param filter the identifier.
 * @param value the new value; outside the identifier's range it is refused
 *        and the old value kept.
 * @return 1 on success, 0 on failure.
 * @par Errors
 * MORVEX_ERR_ARGUMENT for a value out of range or an unknown or read-only
 * identifier, MORVEX_ERR_UNSUPPORTED for a feature the camera lacks,
 * MORVEX_ERR_DEVICE_IO when the camera refuses, MORVEX_ERR_NOT_READY
 * without a device.
 */
MORVEX_API int MORVEX_CALL Morvex_SetFilterValue(int camera, int filter, int value);
/**
 * Reads the brightness.
 * The same as Morvex_GetFilterValue with MORVEX_FILTER_BRIGHTNESS.
 * @param camera camera handle.
 * @param flag optional; receives 1 on success, 0 on failure.
 * @return the value, 0 on failure.
 * @par Errors
 * MORVEX_ERR_NOT_READY without a device.
 */
MORVEX_API int MORVEX_CALL Morvex_GetBrightness(int camera, int* flag);
/**
 * Sets the brightness.
 * The same as Morvex_SetFilterValue with MORVEX_FILTER_BRIGHTNESS.
 * @param camera camera handle.
 * @param value -255 ... 255.
 * @return 1 on success, 0 on failure (the old value stays).
 * @par Errors
 * MORVEX_ERR_ARGUMENT out of range, MORVEX_ERR_NOT_READY without a device.
 */
MORVEX_API int MORVEX_CALL Morvex_SetBrightness(int camera, int value);
/**
 * Reads the contrast.
 * The same as Morvex_GetFilterValue with MORVEX_FILTER_CONTRAST.
 * @param camera camera handle.
 * @param flag optional; receives 1 on success, 0 on failure.
 * @return the value, 0 on failure.
 * @par Errors
 * MORVEX_ERR_NOT_READY without a device.
 */
MORVEX_API int MORVEX_CALL Morvex_GetContrast(int camera, int* flag);
/**
 * Sets the contrast.
 * The same as Morvex_SetFilterValue with MORVEX_FILTER_CONTRAST.
 * @param camera camera handle.
 * @param value -127 ... 127.
 * @return 1 on success, 0 on failure (the old value stays).
 * @par Errors
 * MORVEX_ERR_ARGUMENT out of range, MORVEX_ERR_NOT_READY without a device.
 */
MORVEX_API int MORVEX_CALL Morvex_SetContrast(int camera, int value);
/**
 * Reads the hue shift in degrees.
 * The same as Morvex_GetFilterValue with MORVEX_FILTER_HUE.
 * @param camera camera handle.
 * @param flag optional; receives 1 on success, 0 on failure.
 * @return the value, 0 on failure.
 * @par Errors
 * MORVEX_ERR_NOT_READY without a device.
 */
MORVEX_API int MORVEX_CALL Morvex_GetHue(int camera, int* flag);
/**
 * Sets the hue shift in degrees.
 * The same as Morvex_SetFilterValue with MORVEX_FILTER_HUE.
 * @param camera camera handle.
 * @param value -360 ... 360.
 * @return 1 on success, 0 on failure (the old value stays).
 * @par Errors
 * MORVEX_ERR_ARGUMENT out of range, MORVEX_ERR_NOT_READY without a device.
 */
MORVEX_API int MORVEX_CALL Morvex_SetHue(int camera, int value);
/**
 * Reads the saturation.
 * The same as Morvex_GetFilterValue with MORVEX_FILTER_SATURATION.
 * @param camera camera handle.
 * @param flag optional; receives 1 on success, 0 on failure.
 * @return the value, 0 on failure.
 * @par Errors
 * MORVEX_ERR_NOT_READY without a device.
 */
MORVEX_API int MORVEX_CALL Morvex_GetSaturation(int camera, int* flag);
/**
 * Sets the saturation.
 * The same as Morvex_SetFilterValue with MORVEX_FILTER_SATURATION.
 * @param camera camera handle.
 * @param value -255 ... 255.
 * @return 1 on success, 0 on failure (the old value stays).
 * @par Errors
 * MORVEX_ERR_ARGUMENT out of range, MORVEX_ERR_NOT_READY without a device.
 */
MORVEX_API int MORVEX_CALL Morvex_SetSaturation(int camera, int value);
/**
 * Reads the sharpness.
 * The same as Morvex_GetFilterValue with MORVEX_FILTER_SHARPNESS.
 * @param camera camera handle.
 * @param flag optional; receives 1 on success, 0 on failure.
 * @return the value, 0 on failure.
 * @par Errors
 * MORVEX_ERR_NOT_READY without a device.
 */
MORVEX_API int MORVEX_CALL Morvex_GetSharpness(int camera, int* flag);
/**
 * Sets the sharpness.
 * The same as Morvex_SetFilterValue with MORVEX_FILTER_SHARPNESS.
 * @param camera camera handle.
 * @param value 0 ... 30.
 * @return 1 on success, 0 on failure (the old value stays).
 * @par Errors
 * MORVEX_ERR_ARGUMENT out of range, MORVEX_ERR_NOT_READY without a device.
 */
MORVEX_API int MORVEX_CALL Morvex_SetSharpness(int camera, int value);
/**
 * Reads the white-balance gains packed as red in bits 0-7, green in bits
 * 8-15, blue in bits 16-23.
 * The same as Morvex_GetFilterValue with MORVEX_FILTER_BAYER_GAIN_RGB.
 * @param camera camera handle.
 * @param flag optional; receives 1 on success, 0 on failure.
 * @return the value, 0 on failure.
 * @par Errors
 * MORVEX_ERR_NOT_READY without a device.
 */
MORVEX_API int MORVEX_CALL Morvex_GetBayerGainRGB(int camera, int* flag);
/**
 * Sets the white-balance gains packed as red in bits 0-7, green in bits
 * 8-15, blue in bits 16-23.
 * The same as Morvex_SetFilterValue with MORVEX_FILTER_BAYER_GAIN_RGB.
 * @param camera camera handle.
 * @param value any; each gain takes its byte.
 * @return 1 on success, 0 on failure (the old value stays).
 * @par Errors
 * MORVEX_ERR_ARGUMENT out of range, MORVEX_ERR_NOT_READY without a device.
 */
MORVEX_API int MORVEX_CALL Morvex_SetBayerGainRGB(int camera, int value);
/**
 * Reads the white-balance gain of red (100 is neutral).
 * The same as Morvex_GetFilterValue with MORVEX_FILTER_BAYER_GAIN_RED.
 * @param camera camera handle.
 * @param flag optional; receives 1 on success, 0 on failure.
 * @return the value, 0 on failure.
 * @par Errors
 * MORVEX_ERR_NOT_READY without a device.
 */
MORVEX_API int MORVEX_CALL Morvex_GetBayerGainRed(int camera, int* flag);
/**
 * Sets the white-balance gain of red (100 is neutral).
 * The same as Morvex_SetFilterValue with MORVEX_FILTER_BAYER_GAIN_RED.
 * @param camera camera handle.
 * @param value 0 ... 400.
 * @return 1 on success, 0 on failure (the old value stays).
 * @par Errors
 * MORVEX_ERR_ARGUMENT out of range, MORVEX_ERR_NOT_READY without a device.
 */
MORVEX_API int MORVEX_CALL Morvex_SetBayerGainRed(int camera, int value);
/**
 * Reads the white-balance gain of green (100 is neutral).
 * The same as Morvex_GetFilterValue with MORVEX_FILTER_BAYER_GAIN_GREEN.
 * @param camera camera handle.
 * @param flag optional; receives 1 on success, 0 on failure.
 * @return the value, 0 on failure.
 * @par Errors
 * MORVEX_ERR_NOT_READY without a device.
 */
MORVEX_API int MORVEX_CALL Morvex_GetBayerGainGreen(int camera, int* flag);
/**
 * Sets the white-balance gain of green (100 is neutral).
 * The same as Morvex_SetFilterValue with MORVEX_FILTER_BAYER_GAIN_GREEN.
 * @param camera camera handle.
 * @param value 0 ... 400.
 * @return 1 on success, 0 on failure (the old value stays).
 * @par Errors
 * MORVEX_ERR_ARGUMENT out of range, MORVEX_ERR_NOT_READY without a device.
 */
MORVEX_API int MORVEX_CALL Morvex_SetBayerGainGreen(int camera, int value);
/**
 * Reads the white-balance gain of blue (100 is neutral).
 * The same as Morvex_GetFilterValue with MORVEX_FILTER_BAYER_GAIN_BLUE.
 * @param camera camera handle.
 * @param flag optional; receives 1 on success, 0 on failure.
 * @return the value, 0 on failure.
 * @par Errors
 * MORVEX_ERR_NOT_READY without a device.
 */
MORVEX_API int MORVEX_CALL Morvex_GetBayerGainBlue(int camera, int* flag);
/**
 * Sets the white-balance gain of blue (100 is neutral).
 * The same as Morvex_SetFilterValue with MORVEX_FILTER_BAYER_GAIN_BLUE.
 * @param camera camera handle.
 * @param value 0 ... 400.
 * @return 1 on success, 0 on failure (the old value stays).
 * @par Errors
 * MORVEX_ERR_ARGUMENT out of range, MORVEX_ERR_NOT_READY without a device.
 */
MORVEX_API int MORVEX_CALL Morvex_SetBayerGainBlue(int camera, int value);
/**
 * Reads the automatic white balance on every frame.
 * The same as Morvex_GetFilterValue with MORVEX_FILTER_BAYER_GAIN_AUTO.
 * @param camera camera handle.
 * @param flag optional; receives 1 on success, 0 on failure.
 * @return the value, 0 on failure.
 * @par Errors
 * MORVEX_ERR_NOT_READY without a device.
 */
MORVEX_API int MORVEX_CALL Morvex_GetBayerGainAuto(int camera, int* flag);
/**
 * Sets the automatic white balance on every frame.
 * The same as Morvex_SetFilterValue with MORVEX_FILTER_BAYER_GAIN_AUTO.
 * @param camera camera handle.
 * @param value 0 off, any other value on.
 * @return 1 on success, 0 on failure (the old value stays).
 * @par Errors
 * MORVEX_ERR_ARGUMENT out of range, MORVEX_ERR_NOT_READY without a device.
 */
MORVEX_API int MORVEX_CALL Morvex_SetBayerGainAuto(int camera, int value);
/**
 * Reads the gamma (100 is neutral).
 * The same as Morvex_GetFilterValue with MORVEX_FILTER_GAMMA.
 * @param camera camera handle.
 * @param flag optional; receives 1 on success, 0 on failure.
 * @return the value, 0 on failure.
 * @par Errors
 * MORVEX_ERR_NOT_READY without a device.
 */
MORVEX_API int MORVEX_CALL Morvex_GetGamma(int camera, int* flag);
/**
 * Sets the gamma (100 is neutral).
 * The same as Morvex_SetFilterValue with MORVEX_FILTER_GAMMA.
 * @param camera camera handle.
 * @param value 0 ... 200.
 * @return 1 on success, 0 on failure (the old value stays).
 * @par Errors
 * MORVEX_ERR_ARGUMENT out of range, MORVEX_ERR_NOT_READY without a device.
 */
MORVEX_API int MORVEX_CALL Morvex_SetGamma(int camera, int value);
/**
 * Reads the order of the colour mosaic used by the demosaic.
 * The same as Morvex_GetFilterValue with MORVEX_FILTER_BAYER_MODE.
 * @param camera camera handle.
 * @param flag optional; receives 1 on success, 0 on failure.
 * @return the value, 0 on failure.
 * @par Errors
 * MORVEX_ERR_NOT_READY without a device.
 */
MORVEX_API int MORVEX_CALL Morvex_GetBayerMode(int camera, int* flag);
/**
 * Sets the order of the colour mosaic used by the demosaic.
 * The same as Morvex_SetFilterValue with MORVEX_FILTER_BAYER_MODE.
 * @param camera camera handle.
 * @param value 0 ... 3.
 * @return 1 on success, 0 on failure (the old value stays).
 * @par Errors
 * MORVEX_ERR_ARGUMENT out of range, MORVEX_ERR_NOT_READY without a device.
 */
MORVEX_API int MORVEX_CALL Morvex_SetBayerMode(int camera, int value);
/**
 * Reads the camera's analogue gain; setting it also sets the four colour
 * gains.
 * The same as Morvex_GetFilterValue with MORVEX_FILTER_GLOBAL_GAIN.
 * @param camera camera handle.
 * @param flag optional; receives 1 on success, 0 on failure.
 * @return the value, 0 on failure.
 * @par Errors
 * MORVEX_ERR_NOT_READY without a device.
 */
MORVEX_API int MORVEX_CALL Morvex_GetGlobalGain(int camera, int* flag);
/**
 * Sets the camera's analogue gain; setting it also sets the four colour
 * gains.
 * The same as Morvex_SetFilterValue with MORVEX_FILTER_GLOBAL_GAIN.
 * @param camera camera handle.
 * @param value the camera's gain range (Morvex_GetCameraInfo).
 * @return 1 on success, 0 on failure (the old value stays).
 * @par Errors
 * MORVEX_ERR_ARGUMENT out of range, MORVEX_ERR_NOT_READY without a device.
 */
MORVEX_API int MORVEX_CALL Morvex_SetGlobalGain(int camera, int value);
/**
 * Reads the camera's gain of the red mosaic channel.
 * The same as Morvex_GetFilterValue with MORVEX_FILTER_COLOR_GAIN_RED.
 * @param camera camera handle.
 * @param flag optional; receives 1 on success, 0 on failure.
 * @return the value, 0 on failure.
 * @par Errors
 * MORVEX_ERR_NOT_READY without a device.
 */
MORVEX_API int MORVEX_CALL Morvex_GetColorGainRed(int camera, int* flag);
/**
 * Sets the camera's gain of the red mosaic channel.
 * The same as Morvex_SetFilterValue with MORVEX_FILTER_COLOR_GAIN_RED.
 * @param camera camera handle.
 * @param value the camera's colour-gain range.
 * @return 1 on success, 0 on failure (the old value stays).
 * @par Errors
 * MORVEX_ERR_ARGUMENT out of range, MORVEX_ERR_NOT_READY without a device.
 */
MORVEX_API int MORVEX_CALL Morvex_SetColorGainRed(int camera, int value);
/**
 * Reads the camera's gain of the first green mosaic channel.
 * The same as Morvex_GetFilterValue with MORVEX_FILTER_COLOR_GAIN_GREEN1.
 * @param camera camera handle.
 * @param flag optional; receives 1 on success, 0 on failure.
 * @return the value, 0 on failure.
 * @par Errors
 * MORVEX_ERR_NOT_READY without a device.
 */
MORVEX_API int MORVEX_CALL Morvex_GetColorGainGreen1(int camera, int* flag);
/**
 * Sets the camera's gain of the first green mosaic channel.
 * The same as Morvex_SetFilterValue with MORVEX_FILTER_COLOR_GAIN_GREEN1.
 * @param camera camera handle.
 * @param value the camera's colour-gain range.
 * @return 1 on success, 0 on failure (the old value stays).
 * @par Errors
 * MORVEX_ERR_ARGUMENT out of range, MORVEX_ERR_NOT_READY without a device.
 */
MORVEX_API int MORVEX_CALL Morvex_SetColorGainGreen1(int camera, int value);
/**
 * Reads the camera's gain of the second green mosaic channel.
 * The same as Morvex_GetFilterValue with MORVEX_FILTER_COLOR_GAIN_GREEN2.
 * @param camera camera handle.
 * @param flag optional; receives 1 on success, 0 on failure.
 * @return the value, 0 on failure.
 * @par Errors
 * MORVEX_ERR_NOT_READY without a device.
 */
MORVEX_API int MORVEX_CALL Morvex_GetColorGainGreen2(int camera, int* flag);
/**
 * Sets the camera's gain of the second green mosaic channel.
 * The same as Morvex_SetFilterValue with MORVEX_FILTER_COLOR_GAIN_GREEN2.
 * @param camera camera handle.
 * @param value the camera's colour-gain range.
 * @return 1 on success, 0 on failure (the old value stays).
 * @par Errors
 * MORVEX_ERR_ARGUMENT out of range, MORVEX_ERR_NOT_READY without a device.
 */
MORVEX_API int MORVEX_CALL Morvex_SetColorGainGreen2(int camera, int value);
/**
 * Reads the camera's gain of the blue mosaic channel.
 * The same as Morvex_GetFilterValue with MORVEX_FILTER_COLOR_GAIN_BLUE.
 * @param camera camera handle.
 * @param flag optional; receives 1 on success, 0 on failure.
 * @return the value, 0 on failure.
 * @par Errors
 * MORVEX_ERR_NOT_READY without a device.
 */
MORVEX_API int MORVEX_CALL Morvex_GetColorGainBlue(int camera, int* flag);
/**
 * Sets the camera's gain of the blue mosaic channel.
 * The same as Morvex_SetFilterValue with MORVEX_FILTER_COLOR_GAIN_BLUE.
 * @param camera camera handle.
 * @param value the camera's colour-gain range.
 * @return 1 on success, 0 on failure (the old value stays).
 * @par Errors
 * MORVEX_ERR_ARGUMENT out of range, MORVEX_ERR_NOT_READY without a device.
 */
MORVEX_API int MORVEX_CALL Morvex_SetColorGainBlue(int camera, int value);
/**
 * Reads the exposure in units of 0.1 ms.
 * The same as Morvex_GetFilterValue with MORVEX_FILTER_EXPOSURE_TIME.
 * @param camera camera handle.
 * @param flag optional; receives 1 on success, 0 on failure.
 * @return the value, 0 on failure.
 * @par Errors
 * MORVEX_ERR_NOT_READY without a device.
 */
MORVEX_API int MORVEX_CALL Morvex_GetExposureTime(int camera, int* flag);
/**
 * Sets the exposure in units of 0.1 ms.
 * The same as Morvex_SetFilterValue with MORVEX_FILTER_EXPOSURE_TIME.
 * @param camera camera handle.
 * @param value the camera's exposure range (Morvex_GetCameraInfo).
 * @return 1 on success, 0 on failure (the old value stays).
 * @par Errors
 * MORVEX_ERR_ARGUMENT out of range, MORVEX_ERR_NOT_READY without a device.
 */
MORVEX_API int MORVEX_CALL Morvex_SetExposureTime(int camera, int value);
/**
 * Reads the grey processing: 0 mosaic as is, 1 mosaic converted, 2 grey
 * scale.
 * The same as Morvex_GetFilterValue with MORVEX_FILTER_GRAY_MODE.
 * @param camera camera handle.
 * @param flag optional; receives 1 on success, 0 on failure.
 * @return the value, 0 on failure.
 * @par Errors
 * MORVEX_ERR_NOT_READY without a device.
 */
MORVEX_API int MORVEX_CALL Morvex_GetGrayMode(int camera, int* flag);
/**
 * Sets the grey processing: 0 mosaic as is, 1 mosaic converted, 2 grey
 * scale.
 * The same as Morvex_SetFilterValue with MORVEX_FILTER_GRAY_MODE.
 * @param camera camera handle.
 * @param value 0 ... 2.
 * @return 1 on success, 0 on failure (the old value stays).
 * @par Errors
 * MORVEX_ERR_ARGUMENT out of range, MORVEX_ERR_NOT_READY without a device.
 */
MORVEX_API int MORVEX_CALL Morvex_SetGrayMode(int camera, int value);
/**
 * Reads the grey gain of the red mosaic position.
 * The same as Morvex_GetFilterValue with MORVEX_FILTER_GRAY_GAIN_R.
 * @param camera camera handle.
 * @param flag optional; receives 1 on success, 0 on failure.
 * @return the value, 0 on failure.
 * @par Errors
 * MORVEX_ERR_NOT_READY without a device.
 */
MORVEX_API int MORVEX_CALL Morvex_GetGrayGainR(int camera, int* flag);
/**
 * Sets the grey gain of the red mosaic position.
 * The same as Morvex_SetFilterValue with MORVEX_FILTER_GRAY_GAIN_R.
 * @param camera camera handle.
 * @param value 0 ... 255.
 * @return 1 on success, 0 on failure (the old value stays).
 * @par Errors
 * MORVEX_ERR_ARGUMENT out of range, MORVEX_ERR_NOT_READY without a device.
 */
MORVEX_API int MORVEX_CALL Morvex_SetGrayGainR(int camera, int value);
/**
 * Reads the grey gain of the first green mosaic position.
 * The same as Morvex_GetFilterValue with MORVEX_FILTER_GRAY_GAIN_G1.
 * @param camera camera handle.
 * @param flag optional; receives 1 on success, 0 on failure.
 * @return the value, 0 on failure.
 * @par Errors
 * MORVEX_ERR_NOT_READY without a device.
 */
MORVEX_API int MORVEX_CALL Morvex_GetGrayGainG1(int camera, int* flag);
/**
 * Sets the grey gain of the first green mosaic position.
 * The same as Morvex_SetFilterValue with MORVEX_FILTER_GRAY_GAIN_G1.
 * @param camera camera handle.
 * @param value 0 ... 255.
 * @return 1 on success, 0 on failure (the old value stays).
 * @par Errors
 * MORVEX_ERR_ARGUMENT out of range, MORVEX_ERR_NOT_READY without a device.
 */
MORVEX_API int MORVEX_CALL Morvex_SetGrayGainG1(int camera, int value);
/**
 * Reads the grey gain of the second green mosaic position.
 * The same as Morvex_GetFilterValue with MORVEX_FILTER_GRAY_GAIN_G2.
 * @param camera camera handle.
 * @param flag optional; receives 1 on success, 0 on failure.
 * @return the value, 0 on failure.
 * @par Errors
 * MORVEX_ERR_NOT_READY without a device.
 */
MORVEX_API int MORVEX_CALL Morvex_GetGrayGainG2(int camera, int* flag);
/**
 * Sets the grey gain of the second green mosaic position.
 * The same as Morvex_SetFilterValue with MORVEX_FILTER_GRAY_GAIN_G2.
 * @param camera camera handle.
 * @param value 0 ... 255.
 * @return 1 on success, 0 on failure (the old value stays).
 * @par Errors
 * MORVEX_ERR_ARGUMENT out of range, MORVEX_ERR_NOT_READY without a device.
 */
MORVEX_API int MORVEX_CALL Morvex_SetGrayGainG2(int camera, int value);
/**
 * Reads the grey gain of the blue mosaic position.
 * The same as Morvex_GetFilterValue with MORVEX_FILTER_GRAY_GAIN_B.
 * @param camera camera handle.
 * @param flag optional; receives 1 on success, 0 on failure.
 * @return the value, 0 on failure.
 * @par Errors
 * MORVEX_ERR_NOT_READY without a device.
 */
MORVEX_API int MORVEX_CALL Morvex_GetGrayGainB(int camera, int* flag);
/**
 * Sets the grey gain of the blue mosaic position.
 * The same as Morvex_SetFilterValue with MORVEX_FILTER_GRAY_GAIN_B.
 * @param camera camera handle.
 * @param value 0 ... 255.
 * @return 1 on success, 0 on failure (the old value stays).
 * @par Errors
 * MORVEX_ERR_ARGUMENT out of range, MORVEX_ERR_NOT_READY without a device.
 */
MORVEX_API int MORVEX_CALL Morvex_SetGrayGainB(int camera, int value);
/**
 * Reads the grey offset of the red mosaic position.
 * The same as Morvex_GetFilterValue with MORVEX_FILTER_GRAY_OFFSET_R.
 * @param camera camera handle.
 * @param flag optional; receives 1 on success, 0 on failure.
 * @return the value, 0 on failure.
 * @par Errors
 * MORVEX_ERR_NOT_READY without a device.
 */
MORVEX_API int MORVEX_CALL Morvex_GetGrayOffsetR(int camera, int* flag);
/**
 * Sets the grey offset of the red mosaic position.
 * The same as Morvex_SetFilterValue with MORVEX_FILTER_GRAY_OFFSET_R.
 * @param camera camera handle.
 * @param value -255 ... 255.
 * @return 1 on success, 0 on failure (the old value stays).
 * @par Errors
 * MORVEX_ERR_ARGUMENT out of range, MORVEX_ERR_NOT_READY without a device.
 */
MORVEX_API int MORVEX_CALL Morvex_SetGrayOffsetR(int camera, int value);
/**
 * Reads the grey offset of the first green mosaic position.
 * The same as Morvex_GetFilterValue with MORVEX_FILTER_GRAY_OFFSET_G1.
 * @param camera camera handle.
 * @param flag optional; receives 1 on success, 0 on failure.
 * @return the value, 0 on failure.
 * @par Errors
 * MORVEX_ERR_NOT_READY without a device.
 */
MORVEX_API int MORVEX_CALL Morvex_GetGrayOffsetG1(int camera, int* flag);
/**
 * Sets the grey offset of the first green mosaic position.
 * The same as Morvex_SetFilterValue with MORVEX_FILTER_GRAY_OFFSET_G1.
 * @param camera camera handle.
 * @param value -255 ... 255.
 * @return 1 on success, 0 on failure (the old value stays).
 * @par Errors
 * MORVEX_ERR_ARGUMENT out of range, MORVEX_ERR_NOT_READY without a device.
 */
MORVEX_API int MORVEX_CALL Morvex_SetGrayOffsetG1(int camera, int value);
/**
 * Reads the grey offset of the second green mosaic position.
 * The same as Morvex_GetFilterValue with MORVEX_FILTER_GRAY_OFFSET_G2.
 * @param camera camera handle.
 * @param flag optional; receives 1 on success, 0 on failure.
 * @return the value, 0 on failure.
 * @par Errors
 * MORVEX_ERR_NOT_READY without a device.
 */
MORVEX_API int MORVEX_CALL Morvex_GetGrayOffsetG2(int camera, int* flag);
/**
 * Sets the grey offset of the second green mosaic position.
 * The same as Morvex_SetFilterValue with MORVEX_FILTER_GRAY_OFFSET_G2.
 * @param camera camera handle.
 * @param value -255 ... 255.
 * @return 1 on success, 0 on failure (the old value stays).
 * @par Errors
 * MORVEX_ERR_ARGUMENT out of range, MORVEX_ERR_NOT_READY without a device.
 */
MORVEX_API int MORVEX_CALL Morvex_SetGrayOffsetG2(int camera, int value);
/**
 * Reads the grey offset of the blue mosaic position.
 * The same as Morvex_GetFilterValue with MORVEX_FILTER_GRAY_OFFSET_B.
 * @param camera camera handle.
 * @param flag optional; receives 1 on success, 0 on failure.
 * @return the value, 0 on failure.
 * @par Errors
 * MORVEX_ERR_NOT_READY without a device.
 */
MORVEX_API int MORVEX_CALL Morvex_GetGrayOffsetB(int camera, int* flag);
/**
 * Sets the grey offset of the blue mosaic position.
 * The same as Morvex_SetFilterValue with MORVEX_FILTER_GRAY_OFFSET_B.
 * @param camera camera handle.
 * @param value -255 ... 255.
 * @return 1 on success, 0 on failure (the old value stays).
 * @par Errors
 * MORVEX_ERR_ARGUMENT out of range, MORVEX_ERR_NOT_READY without a device.
 */
MORVEX_API int MORVEX_CALL Morvex_SetGrayOffsetB(int camera, int value);
/**
 * Per-channel gains are not readable on this camera.
 * @param camera camera handle.
 * @param channel 1 ... 4; other channels return 0 without an error code.
 * @param flag optional; receives 0.
 * @return 0.
 * @par Errors
 * MORVEX_ERR_ARGUMENT for channels 1 ... 4.
 */
MORVEX_API int MORVEX_CALL Morvex_GetChannelGain(int camera, int channel, int* flag);
/**
 * Per-channel gains cannot be set on this camera.
 * @param camera camera handle.
 * @param channel 1 ... 4; other channels return 0 without an error code.
 * @param value ignored.
 * @return 0.
 * @par Errors
 * MORVEX_ERR_ARGUMENT for channels 1 ... 4.
 */
MORVEX_API int MORVEX_CALL Morvex_SetChannelGain(int camera, int channel, int value);
/**
 * Per-channel offsets are not readable on this camera.
 * @param camera camera handle.
 * @param channel 1 ... 4; other channels return 0 without an error code.
 * @param flag optional; receives 0.
 * @return 0.
 * @par Errors
 * MORVEX_ERR_ARGUMENT for channels 1 ... 4.
 */
MORVEX_API int MORVEX_CALL Morvex_GetChannelOffset(int camera, int channel, int* flag);
/**
 * Per-channel offsets cannot be set on this camera.
 * @param camera camera handle.
 * @param channel 1 ... 4; other channels return 0 without an error code.
 * @param value ignored.
 * @return 0.
 * @par Errors
 * MORVEX_ERR_ARGUMENT for channels 1 ... 4.
 */
MORVEX_API int MORVEX_CALL Morvex_SetChannelOffset(int camera, int channel, int value);
/**
 * Reads the cooler (Peltier element): 1 on, 0 off.
 * The same as Morvex_GetFilterValue with MORVEX_FILTER_PELTIER.
 * @param camera camera handle.
 * @param flag optional; receives 1 on success, 0 on failure.
 * @return 1 on, 0 off; -1 on a camera without cooler.
 * @par Errors
 * MORVEX_ERR_NOT_READY without a device.
 * MORVEX_ERR_UNSUPPORTED on a camera without cooler.
 */
MORVEX_API int MORVEX_CALL Morvex_GetPeltier(int camera, int* flag);
/**
 * Sets the cooler (Peltier element): 1 on, 0 off.
 * The same as Morvex_SetFilterValue with MORVEX_FILTER_PELTIER.
 * @param camera camera handle.
 * @param value 0 or 1.
 * @return 1 on success, 0 on failure (the old value stays).
 * @par Errors
 * MORVEX_ERR_ARGUMENT out of range, MORVEX_ERR_NOT_READY without a device.
 * MORVEX_ERR_UNSUPPORTED on a camera without cooler.
 */
MORVEX_API int MORVEX_CALL Morvex_SetPeltier(int camera, int value);
/**
 * Reads the defect-pixel correction from the defect maps of the mask.
 * The same as Morvex_GetFilterValue with MORVEX_FILTER_DOT.
 * @param camera camera handle.
 * @param flag optional; receives 1 on success, 0 on failure.
 * @return the value, 0 on failure.
 * @par Errors
 * MORVEX_ERR_NOT_READY without a device.
 */
MORVEX_API int MORVEX_CALL Morvex_GetDotFilter(int camera, int* flag);
/**
 * Sets the defect-pixel correction from the defect maps of the mask.
 * The same as Morvex_SetFilterValue with MORVEX_FILTER_DOT.
 * @param camera camera handle.
 * @param value 0 or 1.
 * @return 1 on success, 0 on failure (the old value stays).
 * @par Errors
 * MORVEX_ERR_ARGUMENT out of range, MORVEX_ERR_NOT_READY without a device.
 */
MORVEX_API int MORVEX_CALL Morvex_SetDotFilter(int camera, int value);
/**
 * Reads the dark and white reference (flat-field) correction.
 * The same as Morvex_GetFilterValue with MORVEX_FILTER_MASK.
 * @param camera camera handle.
 * @param flag optional; receives 1 on success, 0 on failure.
 * @return the value, 0 on failure.
 * @par Errors
 * MORVEX_ERR_NOT_READY without a device.
 */
MORVEX_API int MORVEX_CALL Morvex_GetMaskFilter(int camera, int* flag);
/**
 * Sets the dark and white reference (flat-field) correction.
 * The same as Morvex_SetFilterValue with MORVEX_FILTER_MASK.
 * @param camera camera handle.
 * @param value 0 or 1.
 * @return 1 on success, 0 on failure (the old value stays).
 * @par Errors
 * MORVEX_ERR_ARGUMENT out of range, MORVEX_ERR_NOT_READY without a device.
 */
MORVEX_API int MORVEX_CALL Morvex_SetMaskFilter(int camera, int value);
/**
 * The integer temperature is not available; read it with
 * Morvex_GetTemperatureEx.
 * @param camera camera handle.
 * @param flag optional; receives 0.
 * @return -1.
 * @par Errors
 * MORVEX_ERR_UNSUPPORTED.
 */
MORVEX_API int MORVEX_CALL Morvex_GetTemperature(int camera, int* flag);

/* Other properties */
/**
 * Reads the exposure time in seconds from the camera.
 * @param camera camera handle.
 * @param flag optional; receives 1 on success, 0 on failure.
 * @return seconds; -1.0 without a device or without this feature.
 * @par Errors
 * MORVEX_ERR_UNSUPPORTED, MORVEX_ERR_NOT_READY without a device.
 */
MORVEX_API double MORVEX_CALL Morvex_GetExposureTimeEx(int camera, int* flag);
/**
 * Sets the exposure time in seconds; the camera clamps it to its range
 * (Morvex_GetCameraInfo).
 * @param camera camera handle.
 * @param seconds exposure time.
 * @return 1 on success; 0 on failure (a refusal by the camera records no code).
 * @par Errors
 * MORVEX_ERR_UNSUPPORTED, MORVEX_ERR_NOT_READY without a device.
 */
MORVEX_API int MORVEX_CALL Morvex_SetExposureTimeEx(int camera, double seconds);
/**
 * Reads the exposure in microseconds (the exposure in 0.1 ms times 100).
 * @param camera camera handle.
 * @param flag optional; receives 1 on success, 0 on failure.
 * @return microseconds, 0 on failure.
 * @par Errors
 * MORVEX_ERR_NOT_READY without a device.
 */
MORVEX_API int MORVEX_CALL Morvex_GetRealExposureTime(int camera, int* flag);
/**
 * Sets the exposure in microseconds, truncated to units of 0.1 ms.
 * @param camera camera handle.
 * @param microseconds within the camera's exposure range.
 * @return 1 on success, 0 on failure.
 * @par Errors
 * MORVEX_ERR_ARGUMENT out of range, MORVEX_ERR_NOT_READY without a device.
 */
MORVEX_API int MORVEX_CALL Morvex_SetRealExposureTime(int camera, int microseconds);
/**
 * Reads the sensor temperature in degrees Celsius. Success is recorded as
 * MORVEX_ERR_SUCCESS (and posted to the application window).
 * @param camera camera handle.
 * @param flag optional; receives 1 on success, 0 on failure.
 * @return the temperature, 0.0 when none was read.
 * @par Errors
 * MORVEX_ERR_FILE when the read fails, MORVEX_ERR_UNSUPPORTED without a
 * temperature sensor, MORVEX_ERR_NOT_READY without a device.
 */
MORVEX_API double MORVEX_CALL Morvex_GetTemperatureEx(int camera, int* flag);
/**
 * Reads the horizontal mirror.
 * @param camera camera handle.
 * @return 1 mirrored, 0 not mirrored or on failure.
 * @par Errors
 * MORVEX_ERR_NOT_READY without a device.
 */
MORVEX_API int MORVEX_CALL Morvex_GetMirrorH(int camera);
/**
 * Mirrors the image horizontally in the camera.
 * @param camera camera handle.
 * @param on non-zero mirrors.
 * @return 1 on success, 0 on failure.
 * @par Errors
 * MORVEX_ERR_NOT_READY without a device.
 */
MORVEX_API int MORVEX_CALL Morvex_SetMirrorH(int camera, int on);
/**
 * Reads the vertical mirror.
 * @param camera camera handle.
 * @return 1 mirrored, 0 not mirrored or on failure.
 * @par Errors
 * MORVEX_ERR_NOT_READY without a device (posted only).
 */
MORVEX_API int MORVEX_CALL Morvex_GetMirrorV(int camera);
/**
 * Mirrors the image vertically in the camera.
 * @param camera camera handle.
 * @param on non-zero mirrors.
 * @return 1 on success, 0 on failure.
 * @par Errors
 * MORVEX_ERR_NOT_READY without a device (posted only).
 */
MORVEX_API int MORVEX_CALL Morvex_SetMirrorV(int camera, int on);
/**
 * Reads the automatic exposure mode (MORVEX_AUTO_IRIS_*).
 * @param camera camera handle.
 * @param flag optional; receives 1.
 * @return the mode.
 */
MORVEX_API int MORVEX_CALL Morvex_GetAutoIris(int camera, int* flag);
/**
 * Sets the automatic exposure mode: every processed frame then corrects the
 * exposure (MORVEX_AUTO_IRIS_EXPOSURE) or the global gain
 * (MORVEX_AUTO_IRIS_GAIN); MORVEX_AUTO_IRIS_OFF switches it off.
 * @param camera camera handle.
 * @param mode 0, 1 or 2.
 * @return 1 on success, 0 on failure.
 * @par Errors
 * MORVEX_ERR_ARGUMENT for other modes (posted only).
 */
MORVEX_API int MORVEX_CALL Morvex_SetAutoIris(int camera, int mode);
/**
 * Reads whether the camera's internal correction is on.
 * @param camera camera handle.
 * @param flag optional; receives 1 on success.
 * @return the correction state, 0 on failure.
 * @par Errors
 * MORVEX_ERR_UNSUPPORTED (posted only) on a camera without it,
 * MORVEX_ERR_NOT_READY without a device.
 */
MORVEX_API int MORVEX_CALL Morvex_GetInternalCorrection(int camera, int* flag);
/**
 * Switches the camera's internal correction.
 * @param camera camera handle.
 * @param value 1 on, 0 off.
 * @return the camera's answer: 1 on success, 0 on failure.
 * @par Errors
 * MORVEX_ERR_UNSUPPORTED (posted only) on a camera without it,
 * MORVEX_ERR_NOT_READY without a device.
 */
MORVEX_API int MORVEX_CALL Morvex_SetInternalCorrection(int camera, int value);

/* Settings dialogs (modal; return after the dialog closed) */
/**
 * Shows the modal capture-format dialog (colour mode, size, subsampling,
 * capture window, wait time). A running acquisition is stopped (a trigger
 * paused) while it is open and restarted afterwards.
 * @param camera camera handle.
 * @param owner owner window, or NULL.
 * @return 1 after the dialog closed, 0 on failure.
 * @par Errors
 * MORVEX_ERR_NOT_READY without a device.
 */
MORVEX_API int MORVEX_CALL Morvex_SetCameraDlg(int camera, MORVEX_HWND owner);
/**
 * Shows the modal analogue dialog (gain, exposure, mirrors, cooler,
 * automatic exposure). Changes apply at once; Cancel restores gain,
 * exposure and mirrors.
 * @param camera camera handle.
 * @param owner owner window, or NULL.
 * @return 1 after the dialog closed, 0 on failure.
 * @par Errors
 * MORVEX_ERR_NOT_READY without a device.
 */
MORVEX_API int MORVEX_CALL Morvex_SetAnalogDlg(int camera, MORVEX_HWND owner);
/**
 * Shows the modal image-processing dialog (brightness, contrast, hue,
 * saturation, sharpness, white balance, gamma, grey filter). Changes apply
 * from the next frame; Cancel restores the values.
 * @param camera camera handle.
 * @param owner owner window, or NULL.
 * @return 1 after the dialog closed, 0 on failure.
 * @par Errors
 * MORVEX_ERR_NOT_READY without a device.
 */
MORVEX_API int MORVEX_CALL Morvex_SetImageDlg(int camera, MORVEX_HWND owner);

/* Mask file and references; which: 0 dark, 1 white */
/**
 * Loads the dark and white references from a mask file and rebuilds the
 * defect maps. On failure the references stay unchanged.
 * @param camera camera handle.
 * @param path mask file.
 * @return 1 on success, 0 on failure.
 * @par Errors
 * MORVEX_ERR_MASK_FILE when the file cannot be read or is not a 640 x 512
 * mask file, MORVEX_ERR_NOT_READY without a device.
 */
MORVEX_API int MORVEX_CALL Morvex_LoadMaskFile(int camera, const char* path);
/**
 * Wide-character version of Morvex_LoadMaskFile.
 * @param camera camera handle.
 * @param path mask file.
 * @return 1 on success, 0 on failure.
 * @par Errors
 * As Morvex_LoadMaskFile; MORVEX_ERR_FILE when the path cannot be converted.
 */
MORVEX_API int MORVEX_CALL Morvex_LoadMaskFileW(int camera, const wchar_t* path);
/**
 * Saves the dark and white references (8 and 16 bits) to a mask file,
 * replacing an existing one.
 * @param camera camera handle.
 * @param path mask file.
 * @return 1 on success, 0 on failure.
 * @par Errors
 * MORVEX_ERR_MASK_FILE when the file cannot be written,
 * MORVEX_ERR_NOT_READY without a device.
 */
MORVEX_API int MORVEX_CALL Morvex_SaveMaskFile(int camera, const char* path);
/**
 * Wide-character version of Morvex_SaveMaskFile.
 * @param camera camera handle.
 * @param path mask file.
 * @return 1 on success, 0 on failure.
 * @par Errors
 * As Morvex_SaveMaskFile; MORVEX_ERR_FILE when the path cannot be converted.
 */
MORVEX_API int MORVEX_CALL Morvex_SaveMaskFileW(int camera, const wchar_t* path);
/**
 * Takes the last received full-sensor (640 x 512) frame as the dark or white
 * reference of its depth and rebuilds that defect map. A frame of another
 * size leaves the references unchanged.
 * @param camera camera handle.
 * @param which 0 dark reference, 1 white reference.
 * @return 1 on success, 0 on failure.
 * @par Errors
 * MORVEX_ERR_FILE for another value of which, MORVEX_ERR_NOT_READY without
 * a device.
 */
MORVEX_API int MORVEX_CALL Morvex_UpdateMaskData(int camera, int which);

/* Still images; format: MORVEX_IMAGE_* */
/**
 * Saves the current output image. PNG, TIFF, JPEG and RAW files start with
 * the top row, BMP files with the bottom row; JPEG keeps 8 bits per sample,
 * PNG and TIFF keep 16.
 * @param camera camera handle.
 * @param path file to write; an existing file is replaced.
 * @param format MORVEX_IMAGE_*.
 * @return 1 on success, 0 on failure (an unknown format or a file that cannot
 *         be written records no code).
 * @par Errors
 * MORVEX_ERR_NOT_READY when no frame has been processed yet or without a
 * device.
 */
MORVEX_API int MORVEX_CALL Morvex_SaveImage(int camera, const char* path, int format);
/**
 * Wide-character version of Morvex_SaveImage.
 * @param camera camera handle.
 * @param path file to write.
 * @param format MORVEX_IMAGE_*.
 * @return 1 on success, 0 on failure.
 * @par Errors
 * As Morvex_SaveImage; MORVEX_ERR_FILE when the path cannot be converted.
 */
MORVEX_API int MORVEX_CALL Morvex_SaveImageW(int camera, const wchar_t* path, int format);

/* AVI recording */
/**
 * Starts the live preview and records it into an uncompressed 24-bit AVI
 * file for a time; the file's frame rate is the measured one. Returns once
 * recording has started; Morvex_StopPreview ends it early (the file is then
 * left unfinished). Frames are not delivered to a callback window meanwhile.
 * @param camera camera handle.
 * @param path AVI file; an existing file is replaced.
 * @param durationMs recording time in milliseconds, from the first frame.
 * @param showPreview non-zero shows the preview window placed with
 *        Morvex_SetPreviewWindow.
 * @return 1 when recording has started, 0 on failure.
 * @par Errors
 * MORVEX_ERR_ARGUMENT for a NULL or empty path, MORVEX_ERR_WINDOW,
 * MORVEX_ERR_FILE when the preview or the file cannot be started,
 * MORVEX_ERR_THREAD.
 */
MORVEX_API int MORVEX_CALL Morvex_Record(int camera, const char* path, int durationMs, int showPreview);
/**
 * Wide-character version of Morvex_Record.
 * @param camera camera handle.
 * @param path AVI file.
 * @param durationMs recording time in milliseconds.
 * @param showPreview non-zero shows the preview window.
 * @return 1 when recording has started, 0 on failure.
 * @par Errors
 * As Morvex_Record; MORVEX_ERR_FILE when the path cannot be converted.
 */
MORVEX_API int MORVEX_CALL Morvex_RecordW(int camera, const wchar_t* path, int durationMs, int showPreview);

/* Configuration file */
/**
 * Loads a configuration file of 8-byte records (two 32-bit little-endian
 * values each) into the camera instance, replacing the previous list.
 * Needs no open camera.
 * @param camera camera handle.
 * @param path configuration file.
 * @return 1 when the file was read, 0 when it cannot be opened (no code).
 */
MORVEX_API int MORVEX_CALL Morvex_LoadConfigFileA(int camera, const char* path);
/**
 * Wide-character version of Morvex_LoadConfigFileA.
 * @param camera camera handle.
 * @param path configuration file.
 * @return 1 when the file was read, 0 on failure.
 * @par Errors
 * MORVEX_ERR_FILE when the path cannot be converted.
 */
MORVEX_API int MORVEX_CALL Morvex_LoadConfigFileW(int camera, const wchar_t* path);

#ifdef __cplusplus
}
#endif

#endif /* MORVEX_SDK_H */
