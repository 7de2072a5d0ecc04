/*
 * morvex-demo: opens the camera with Morvex_Initialize and prints its name,
 * serial number, FPGA version, camera information and a few sensor
 * registers. When the emulator has no camera count configured, the demo sets
 * one emulated camera for its own run and removes the setting afterwards.
 */
#define _POSIX_C_SOURCE 200809L
#include <stdio.h>
#include <string.h>

#include "MorvexSdk.h"
#include "emulator_key.h"
#include "sample_library.h"

#ifdef _WIN32
#include <windows.h>

static const char emulator_key[] = "Software\\Quisto\\MorvexEmulator";
int demo_read_cameras(unsigned* value) {
  HKEY key;
  DWORD type = 0, data = 0, size = sizeof(data);
  LONG result;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, emulator_key, 0, KEY_READ, &key) != ERROR_SUCCESS) return 0;
  result = RegQueryValueExA(key, "Cameras", NULL, &type, (BYTE*)&data, &size);
  RegCloseKey(key);
  if (result != ERROR_SUCCESS || type != REG_DWORD) return 0;
  *value = data;
  return 1;
}
int demo_write_cameras(unsigned value) {
  HKEY key;
  DWORD data = value;
  LONG result;
  if (RegCreateKeyExA(HKEY_CURRENT_USER, emulator_key, 0, NULL, 0, KEY_ALL_ACCESS, NULL, &key, NULL) !=
      ERROR_SUCCESS)
    return 0;
  result = RegSetValueExA(key, "Cameras", 0, REG_DWORD, (const BYTE*)&data, sizeof(data));
  RegCloseKey(key);
  return result == ERROR_SUCCESS;
}
int demo_remove_cameras(void) {
  HKEY key;
  LONG result;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, emulator_key, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) return 0;
  result = RegDeleteValueA(key, "Cameras");
  RegCloseKey(key);
  return result == ERROR_SUCCESS;
}
#endif

typedef int(MORVEX_CALL* initialize_t)(MORVEX_HWND);
typedef int(MORVEX_CALL* handle_t)(int);
typedef int(MORVEX_CALL* name_t)(int, int, char*, int);
typedef int(MORVEX_CALL* text_t)(int, char*, int);
typedef int(MORVEX_CALL* read_t)(int, int, int*);
typedef int(MORVEX_CALL* info_t)(int, MORVEX_CAMERA_INFO*);

/* A few registers of the IMX99x sensor worth seeing. */
static const struct {
  int address;
  const char* meaning;
} sensor_registers[] = {
    {0x0404, "mirror (bit 0 vertical, bit 1 horizontal)"},
    {0x07C0, "black level, low byte"},
    {0x07C1, "black level, high byte"},
};

static int run(sample_library_t library) {
  initialize_t initialize;
  handle_t release, get_last_error;
  name_t get_device_name;
  text_t read_serial;
  read_t read_register_ex, fpga_read;
  info_t get_camera_info;
  MORVEX_CAMERA_INFO info;
  char text[256];
  int camera, ok, low, high, value, flag = 0;
  size_t i;

  SAMPLE_FIND(library, initialize, "Morvex_Initialize");
  SAMPLE_FIND(library, release, "Morvex_Release");
  SAMPLE_FIND(library, get_last_error, "Morvex_GetLastError");
  SAMPLE_FIND(library, get_device_name, "Morvex_GetDeviceName");
  SAMPLE_FIND(library, read_serial, "Morvex_ReadSerialNumberA");
  SAMPLE_FIND(library, read_register_ex, "Morvex_ReadRegisterEx");
  SAMPLE_FIND(library, fpga_read, "Morvex_Fpga_ReadRegister");
  SAMPLE_FIND(library, get_camera_info, "Morvex_GetCameraInfo");
  if (!initialize || !release || !get_last_error || !get_device_name || !read_serial || !read_register_ex ||
      !fpga_read || !get_camera_info) {
    fprintf(stderr, "morvex-demo: %s lacks an expected entry point\n", SAMPLE_LIBRARY_NAME);
    return 1;
  }

  camera = initialize(NULL);
  if (camera == 0) {
    fprintf(stderr, "morvex-demo: Morvex_Initialize failed\n");
    return 1;
  }
  ok = 1;
  if (get_device_name(camera, 0, text, (int)sizeof(text))) {
    printf("Camera:          %s\n", text);
  } else {
    printf("No camera is open (error %d).\n", get_last_error(camera));
    release(camera);
    return 1;
  }
  memset(text, 0, sizeof(text));
  if (read_serial(camera, text, (int)sizeof(text)))
    printf("Serial number:   %s\n", text[0] ? text : "(none stored)");
  else
    printf("Serial number:   unreadable (error %d)\n", get_last_error(camera)), ok = 0;

  low = fpga_read(camera, 0x10, &flag);
  if (flag) {
    high = fpga_read(camera, 0x11, &flag);
  }
  if (flag)
    printf("FPGA version:    0x%04X\n", (unsigned)((high << 8) | low));
  else
    printf("FPGA version:    unreadable (error %d)\n", get_last_error(camera)), ok = 0;

  memset(&info, 0, sizeof(info));
  info.size = (int32_t)sizeof(info);
  if (get_camera_info(camera, &info)) {
    printf("Sensor:          %d x %d pixels\n", info.sensorWidth, info.sensorHeight);
    printf("Global gain:     %d .. %d\n", info.minGlobalGain, info.maxGlobalGain);
    printf("Colour gain:     %d .. %d\n", info.minColorGain, info.maxColorGain);
    printf("Exposure:        %d .. %d (0.1 ms)\n", info.minExposure, info.maxExposure);
    printf("Exposure time:   %.6f .. %.6f s\n", info.minExposureTime, info.maxExposureTime);
  } else {
    printf("Camera information unavailable (error %d)\n", get_last_error(camera)), ok = 0;
  }

  printf("Sensor registers:\n");
  for (i = 0; i < sizeof(sensor_registers) / sizeof(sensor_registers[0]); ++i) {
    value = read_register_ex(camera, sensor_registers[i].address, &flag);
    if (flag)
      printf("  0x%04X = 0x%02X  %s\n", sensor_registers[i].address, (unsigned)value,
             sensor_registers[i].meaning);
    else
      printf("  0x%04X unreadable (error %d)\n", sensor_registers[i].address, get_last_error(camera)), ok = 0;
  }
  release(camera);
  return ok ? 0 : 1;
}

int main(void) {
  unsigned cameras = 0;
  int configured_here = 0, result;
  sample_library_t library;

  /* Use the user's emulator configuration when there is one. */
  if (!demo_read_cameras(&cameras)) {
    if (!demo_write_cameras(1)) {
      fprintf(stderr, "morvex-demo: cannot configure the emulated camera\n");
      return 1;
    }
    configured_here = 1;
    printf("Using one emulated camera for this run.\n");
  }
  library = sample_open_library();
  if (library == NULL) {
    fprintf(stderr, "morvex-demo: cannot load %s\n", SAMPLE_LIBRARY_NAME);
    if (configured_here) demo_remove_cameras();
    return 1;
  }
  result = run(library);
  sample_close_library(library);
  if (configured_here) demo_remove_cameras();
  return result;
}
