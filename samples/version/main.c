/*
 * morvex-version: loads the Morvex SDK library at run time, prints its
 * version and the cameras attached to this machine, and exits.
 */
#include <stdio.h>
#include <string.h>

#include "MorvexSdk.h"
#include "sample_library.h"

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
  sample_library_t library = sample_open_library();

  if (library == NULL) {
    fprintf(stderr, "morvex-version: cannot load %s %s\n", SAMPLE_LIBRARY_NAME, sample_library_error());
    return 1;
  }
  SAMPLE_FIND(library, get_dll_version, "Morvex_GetDllVersion");
  SAMPLE_FIND(library, initialize, "Morvex_Initialize");
  SAMPLE_FIND(library, enum_device, "Morvex_EnumDevice");
  SAMPLE_FIND(library, release, "Morvex_Release");
  if (!get_dll_version || !initialize || !enum_device || !release) {
    fprintf(stderr, "morvex-version: %s lacks an expected entry point\n", SAMPLE_LIBRARY_NAME);
    sample_close_library(library);
    return 1;
  }

  version = (unsigned)get_dll_version();
  printf("Morvex SDK library version %x.%x.%x.%x (%u)\n", (version >> 24) & 0xFF, (version >> 16) & 0xFF,
         (version >> 8) & 0xFF, version & 0xFF, version);

  camera = initialize(NULL);
  if (camera == 0) {
    fprintf(stderr, "morvex-version: Morvex_Initialize failed\n");
    sample_close_library(library);
    return 1;
  }
  count = enum_device(camera, names);
  if (count > MORVEX_MAX_ENUM) count = MORVEX_MAX_ENUM;
  printf("Cameras attached: %d\n", count);
  for (i = 0; i < count; ++i) printf("  %s\n", names + i * MORVEX_NAME_LENGTH);
  release(camera);
  sample_close_library(library);
  return 0;
}
