/* An application in C that knows the library only by name: it loads the DLL,
   finds the exports with GetProcAddress, configures one emulated camera
   through the registry and checks ramp frames by snapshot and by callback
   preview, the state machine's refusal, and a mask file round trip. */
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <windows.h>

#include "MorvexSdk.h"

typedef int(__cdecl* InitializeFn)(HWND);
typedef int(__cdecl* CameraFn)(int);
typedef int(__cdecl* CameraIntFn)(int, int);
typedef int(__cdecl* CameraPathFn)(int, const char*);
typedef int(__cdecl* SnapShotFn)(int, void*, int, int);
typedef int(__cdecl* CallBackPreviewFn)(int, HWND, void*, int, int);

static int failures = 0;
#define CHECK(condition, ...)                                \
  do {                                                       \
    if (!(condition)) {                                      \
      ++failures;                                            \
      printf("%s:%d: %s: ", __FILE__, __LINE__, #condition); \
      printf(__VA_ARGS__);                                   \
      printf("\n");                                          \
    }                                                        \
  } while (0)

static unsigned Ramp(int x, int y) { return (unsigned)((x + 4 * y) % 4096); }

/* Mismatches of a first-row-first frame against the ramp (at most 5 shown). */
static int RampMismatches(const uint8_t* frame, int bytes) {
  int wrong = 0;
  for (int y = 0; y < 512; ++y)
    for (int x = 0; x < 640; ++x) {
      const uint8_t* p = frame + ((size_t)y * 640 + (size_t)x) * (size_t)bytes;
      const unsigned got = bytes == 1 ? p[0] : (unsigned)(p[0] | p[1] << 8);
      const unsigned expected = bytes == 1 ? Ramp(x, y) >> 4 : Ramp(x, y);
      if (got != expected && ++wrong <= 5) printf("  (%d, %d): expected %u, got %u\n", x, y, expected, got);
    }
  return wrong;
}

/* The key name in this program's test namespace, as the library forms it. */
static void Namespaced(char* out, size_t size, const char* key) {
  const char* space = getenv("MORVEX_TEST_NAMESPACE");
  char clean[128] = "";
  if (space != NULL) {
    size_t i = 0;
    for (; space[i] != 0 && i + 1 < sizeof clean; ++i) {
      const char c = space[i];
      const int plain =
          (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' || c == '-';
      clean[i] = plain ? c : '_';
    }
    clean[i] = 0;
  }
  snprintf(out, size, clean[0] ? "%s.%s" : "%s", key, clean);
}

static void PutDword(const char* path, const char* name, DWORD value) {
  HKEY key;
  if (RegCreateKeyExA(HKEY_CURRENT_USER, path, 0, NULL, 0, KEY_ALL_ACCESS, NULL, &key, NULL) !=
      ERROR_SUCCESS) {
    CHECK(0, "cannot create %s", path);
    return;
  }
  RegSetValueExA(key, name, 0, REG_DWORD, (const BYTE*)&value, sizeof value);
  RegCloseKey(key);
}

static volatile LONG frames_seen = 0, errors_seen = 0;
static MORVEX_FRAME_INFO last_info;

static LRESULT CALLBACK Receive(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == MORVEX_WM_FRAME) {
    if (wparam == 0) {
      InterlockedIncrement(&errors_seen);
    } else {
      memcpy(&last_info, (const void*)wparam, sizeof last_info);
      InterlockedIncrement(&frames_seen);
    }
    return 0;
  }
  return DefWindowProcA(window, message, wparam, lparam);
}

static void Pump(DWORD ms) {
  const DWORD start = GetTickCount();
  MSG msg;
  while (GetTickCount() - start < ms) {
    while (PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
    Sleep(5);
  }
}

int main(void) {
  char emulator_key[256], sdk_key[256], camera_key[300], mask_path[MAX_PATH];
  Namespaced(emulator_key, sizeof emulator_key, "Software\\Quisto\\MorvexEmulator");
  Namespaced(sdk_key, sizeof sdk_key, "Software\\Quisto\\MorvexVelsaTEC3T2Sdk");
  snprintf(camera_key, sizeof camera_key, "%s\\Camera_00", emulator_key);
  RegDeleteTreeA(HKEY_CURRENT_USER, emulator_key);
  RegDeleteTreeA(HKEY_CURRENT_USER, sdk_key);
  PutDword(emulator_key, "Cameras", 1);
  PutDword(camera_key, "Scene", 1);

  HMODULE sdk = LoadLibraryA("MorvexSdk.dll");
  CHECK(sdk != NULL, "MorvexSdk.dll not loaded");
  if (sdk == NULL) return 1;
#define FIND(type, name) type name = (type)(void*)GetProcAddress(sdk, "Morvex_" #name)
  FIND(InitializeFn, Initialize);
  FIND(CameraFn, Release);
  FIND(CameraFn, GetLastError);
  FIND(CameraFn, Capture);
  FIND(CameraFn, StopPreview);
  FIND(CameraIntFn, SetColorMode);
  FIND(CameraIntFn, SetWaitTime);
  FIND(CameraPathFn, SaveMaskFile);
  FIND(CameraPathFn, LoadMaskFile);
  FIND(SnapShotFn, SnapShot);
  FIND(CallBackPreviewFn, CallBackPreview);
  CHECK(Initialize && Release && GetLastError && Capture && StopPreview && SetColorMode && SetWaitTime &&
            SaveMaskFile && LoadMaskFile && SnapShot && CallBackPreview,
        "an export is missing");
  if (failures) return 1;

  WNDCLASSA window_class;
  memset(&window_class, 0, sizeof window_class);
  window_class.lpfnWndProc = Receive;
  window_class.hInstance = GetModuleHandleA(NULL);
  window_class.lpszClassName = "MorvexDllClient";
  RegisterClassA(&window_class);
  HWND window = CreateWindowExA(0, "MorvexDllClient", "", 0, 0, 0, 0, 0, HWND_MESSAGE, NULL, NULL, NULL);
  CHECK(window != NULL, "no message window");

  const int camera = Initialize(NULL);
  CHECK(camera != 0, "Initialize failed");
  static uint8_t frame[640 * 512 * 2];
  const int bits[2] = {8, 16};
  for (int i = 0; i < 2; ++i) {
    CHECK(SetColorMode(camera, bits[i]) == 1, "SetColorMode(%d)", bits[i]);
    memset(frame, 0xEE, sizeof frame);
    CHECK(SnapShot(camera, frame, 640 * 512 * (bits[i] / 8), 1) == 1, "SnapShot at %d bits: error %d",
          bits[i], GetLastError(camera));
    CHECK(RampMismatches(frame, bits[i] / 8) == 0, "snapshot at %d bits is not the ramp", bits[i]);
  }

  memset(frame, 0xEE, sizeof frame);
  CHECK(SetWaitTime(camera, 0) == 1, "SetWaitTime");
  CHECK(CallBackPreview(camera, window, frame, (int)sizeof frame, 1) == 1, "CallBackPreview: error %d",
        GetLastError(camera));
  CHECK(Capture(camera) == 0 && GetLastError(camera) == MORVEX_ERR_NOT_READY, "Capture during preview");
  for (int waited = 0; frames_seen < 20 && waited < 200; ++waited) Pump(50);
  CHECK(StopPreview(camera) == 1, "StopPreview");
  Pump(100);
  CHECK(frames_seen >= 20, "%ld frame notifications", (long)frames_seen);
  CHECK(errors_seen == 0, "%ld error notifications", (long)errors_seen);
  CHECK(last_info.width == 640 && last_info.height == 512 && last_info.bitsPerPixel == 16,
        "frame %dx%d, %d bits", last_info.width, last_info.height, last_info.bitsPerPixel);
  CHECK(last_info.buffer == frame, "announced buffer %p, expected %p", last_info.buffer, (void*)frame);
  CHECK(RampMismatches(frame, 2) == 0, "the callback buffer is not the ramp");

  GetTempPathA(sizeof mask_path, mask_path);
  strncat(mask_path, "morvex-dll-client.msk", sizeof mask_path - strlen(mask_path) - 1);
  CHECK(SaveMaskFile(camera, mask_path) == 1, "SaveMaskFile: error %d", GetLastError(camera));
  CHECK(LoadMaskFile(camera, mask_path) == 1, "LoadMaskFile: error %d", GetLastError(camera));
  DeleteFileA(mask_path);
  CHECK(LoadMaskFile(camera, mask_path) == 0 && GetLastError(camera) == MORVEX_ERR_MASK_FILE,
        "a missing mask file is refused with 14");

  CHECK(Release(camera) == 1, "Release");
  FreeLibrary(sdk);
  DestroyWindow(window);
  RegDeleteTreeA(HKEY_CURRENT_USER, emulator_key);
  RegDeleteTreeA(HKEY_CURRENT_USER, sdk_key);
  printf(failures ? "FAILED: %d\n" : "passed\n", failures);
  return failures ? 1 : 0;
}
