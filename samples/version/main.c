/*
 * morvex-version: loads the Morvex SDK library at run time, prints its
 * version and the cameras attached to this machine, and exits.
 */
#define _POSIX_C_SOURCE 200809L
#include <stdio.h>
#include <string.h>

#include "MorvexSdk.h"

#ifdef _WIN32
#include <windows.h>
typedef HMODULE library_t;
#define LIBRARY_NAME "MorvexSdk.dll"
static library_t open_library(void) { return LoadLibraryA(LIBRARY_NAME); }
static void* find_symbol(library_t library, const char* name) { return (void*)GetProcAddress(library, name); }
static void close_library(library_t library) { FreeLibrary(library); }
#else
#include <dlfcn.h>
#include <unistd.h>
typedef void* library_t;
#define LIBRARY_NAME "libMorvexSdk.so"
/* Beside the program (build tree), in ../lib (installed tree), then the
   system's search path. */
static library_t open_library(void) {
  static const char* const places[] = {"/", "/../lib/"};
  char path[4096];
  library_t library;
  size_t i;
  ssize_t length = readlink("/proc/self/exe", path, sizeof(path) - 1);
  char* slash;
  if (length > 0) {
    path[length] = '\0';
    slash = strrchr(path, '/');
    for (i = 0; slash != NULL && i < sizeof(places) / sizeof(places[0]); ++i) {
      *slash = '\0';
      if (strlen(path) + strlen(places[i]) + strlen(LIBRARY_NAME) < sizeof(path)) {
        strcat(strcat(path, places[i]), LIBRARY_NAME);
        library = dlopen(path, RTLD_NOW | RTLD_LOCAL);
        if (library != NULL) return library;
      }
      path[length] = '\0';
    }
  }
  return dlopen(LIBRARY_NAME, RTLD_NOW | RTLD_LOCAL);
}
static void* find_symbol(library_t library, const char* name) { return dlsym(library, name); }
static void close_library(library_t library) { dlclose(library); }
#endif

typedef int(MORVEX_CALL* get_dll_version_t)(void);
typedef int(MORVEX_CALL* initialize_t)(MORVEX_HWND);
typedef int(MORVEX_CALL* enum_device_t)(int, char*);
typedef int(MORVEX_CALL* release_t)(int);

int main(void) {
  static char names[MORVEX_MAX_ENUM * MORVEX_NAME_LENGTH];
  get_dll_version_t get_dll_version;
  initialize_t initialize;
  enum_device_t enum_device;
  release_t release;
  unsigned version;
  int camera, count, i;
  library_t library = open_library();

  if (library == NULL) {
    fprintf(stderr, "morvex-version: cannot load %s\n", LIBRARY_NAME);
#ifndef _WIN32
    fprintf(stderr, "%s\n", dlerror());
#endif
    return 1;
  }
  /* Function pointers travel through void* as POSIX dlsym requires. */
  memcpy(&get_dll_version, &(void*){find_symbol(library, "Morvex_GetDllVersion")}, sizeof(get_dll_version));
  memcpy(&initialize, &(void*){find_symbol(library, "Morvex_Initialize")}, sizeof(initialize));
  memcpy(&enum_device, &(void*){find_symbol(library, "Morvex_EnumDevice")}, sizeof(enum_device));
  memcpy(&release, &(void*){find_symbol(library, "Morvex_Release")}, sizeof(release));
  if (!get_dll_version || !initialize || !enum_device || !release) {
    fprintf(stderr, "morvex-version: %s lacks an expected entry point\n", LIBRARY_NAME);
    close_library(library);
    return 1;
  }

  version = (unsigned)get_dll_version();
  printf("Morvex SDK library version %x.%x.%x.%x (%u)\n", (version >> 24) & 0xFF, (version >> 16) & 0xFF,
         (version >> 8) & 0xFF, version & 0xFF, version);

  camera = initialize(NULL);
  if (camera == 0) {
    fprintf(stderr, "morvex-version: Morvex_Initialize failed\n");
    close_library(library);
    return 1;
  }
  count = enum_device(camera, names);
  if (count > MORVEX_MAX_ENUM) count = MORVEX_MAX_ENUM;
  printf("Cameras attached: %d\n", count);
  for (i = 0; i < count; ++i) printf("  %s\n", names + i * MORVEX_NAME_LENGTH);
  release(camera);
  close_library(library);
  return 0;
}
