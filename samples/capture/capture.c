/*
 * capture: opens the first camera, prints its identity, sets exposure and
 * gain, takes snapshots at 8 and 16 bits and saves each in every still
 * format, records a 2-second AVI and prints its measured frame rate.
 *
 *   morvex-capture [output-folder]      (default: the current folder)
 *
 * Exits with 0 when every step worked, 1 otherwise; each failure is printed
 * with its error code and meaning.
 */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <windows.h>

#include "MorvexSdk.h"
#include "error_text.h"

static const struct {
  int format;
  const char* suffix;
} still_formats[] = {
    {MORVEX_IMAGE_PNG, ".png"},
    {MORVEX_IMAGE_TIFF, ".tif"},
    {MORVEX_IMAGE_JPEG_FINE, ".jpg"},
    {MORVEX_IMAGE_JPEG_NORMAL, "_normal.jpg"},
    {MORVEX_IMAGE_JPEG_SMALL, "_small.jpg"},
    {MORVEX_IMAGE_BMP, ".bmp"},
    {MORVEX_IMAGE_RAW, ".raw"},
};

static int failures = 0;

static void failed(int camera, const char* what) {
  ++failures;
  sample_print_errors(camera, what);
}

static int print_identity(int camera) {
  char name[MORVEX_NAME_LENGTH] = "";
  char serial[64] = "";
  MORVEX_CAMERA_INFO info;

  if (!Morvex_GetDeviceName(camera, 0, name, (int)sizeof(name))) {
    failed(camera, "Morvex_GetDeviceName");
    return 0;
  }
  printf("Camera:        %s\n", name);
  if (Morvex_ReadSerialNumberA(camera, serial, (int)sizeof(serial)))
    printf("Serial number: %s\n", serial[0] ? serial : "(none stored)");
  else
    failed(camera, "Morvex_ReadSerialNumberA");
  memset(&info, 0, sizeof(info));
  info.size = (int32_t)sizeof(info);
  if (Morvex_GetCameraInfo(camera, &info)) {
    printf("Sensor:        %d x %d pixels\n", info.sensorWidth, info.sensorHeight);
    printf("Gain range:    %d .. %d\n", info.minGlobalGain, info.maxGlobalGain);
    printf("Exposure:      %.6f .. %.6f s\n", info.minExposureTime, info.maxExposureTime);
  } else {
    failed(camera, "Morvex_GetCameraInfo");
  }
  return 1;
}

static void set_exposure_and_gain(int camera) {
  int flag = 0;
  double seconds;
  int gain;

  if (!Morvex_SetExposureTimeEx(camera, 0.010)) failed(camera, "Morvex_SetExposureTimeEx(10 ms)");
  seconds = Morvex_GetExposureTimeEx(camera, &flag);
  if (flag)
    printf("Exposure time: %.3f ms\n", seconds * 1000.0);
  else
    failed(camera, "Morvex_GetExposureTimeEx");
  if (!Morvex_SetGlobalGain(camera, 0)) failed(camera, "Morvex_SetGlobalGain(0)");
  gain = Morvex_GetGlobalGain(camera, &flag);
  if (flag)
    printf("Global gain:   %d\n", gain);
  else
    failed(camera, "Morvex_GetGlobalGain");
}

/* One snapshot at `bits` per pixel, saved in every still format. */
static void snapshot_and_save(int camera, int bits, const char* folder) {
  /* Rows are padded to 4 bytes. */
  int stride = ((Morvex_Width(camera) * (bits / 8)) + 3) & ~3;
  int size = stride * Morvex_Height(camera);
  void* buffer = size > 0 ? malloc((size_t)size) : NULL;
  char path[MAX_PATH];
  size_t i;

  if (buffer == NULL) {
    fprintf(stderr, "  no memory for a %d-byte image\n", size);
    ++failures;
    return;
  }
  if (!Morvex_SetColorMode(camera, bits)) {
    failed(camera, "Morvex_SetColorMode");
  } else if (!Morvex_SnapShot(camera, buffer, size, 1)) {
    failed(camera, "Morvex_SnapShot");
  } else {
    printf("Snapshot:      %d bits per pixel, %d bytes\n", bits, size);
    for (i = 0; i < sizeof(still_formats) / sizeof(still_formats[0]); ++i) {
      snprintf(path, sizeof(path), "%s\\snapshot_%dbit%s", folder, bits, still_formats[i].suffix);
      if (Morvex_SaveImage(camera, path, still_formats[i].format))
        printf("  saved %s\n", path);
      else
        failed(camera, path);
    }
  }
  free(buffer);
}

static unsigned read_u32(const unsigned char* p) {
  return (unsigned)p[0] | (unsigned)p[1] << 8 | (unsigned)p[2] << 16 | (unsigned)p[3] << 24;
}

/* The recorder finishes the file after the duration by filling in its
   sizes; until then the RIFF size is 0. */
static int read_finished_avi(const char* path, unsigned* frames, double* rate) {
  unsigned char header[144];
  FILE* file = fopen(path, "rb");
  size_t got;
  unsigned scale;
  if (file == NULL) return 0;
  got = fread(header, 1, sizeof(header), file);
  fclose(file);
  if (got < sizeof(header) || memcmp(header, "RIFF", 4) != 0 || read_u32(header + 4) == 0) return 0;
  *frames = read_u32(header + 48);
  scale = read_u32(header + 128);
  *rate = scale != 0 ? (double)read_u32(header + 132) / scale : 0.0;
  return 1;
}

static void record(int camera, const char* folder) {
  char path[MAX_PATH];
  unsigned frames = 0;
  double rate = 0.0;
  int waited;

  snprintf(path, sizeof(path), "%s\\recording.avi", folder);
  /* The recorder turns every colour mode into 24-bit frames. */
  if (!Morvex_SetColorMode(camera, 8)) failed(camera, "Morvex_SetColorMode(8)");
  /* No preview window: the recording runs in the background. */
  Morvex_SetPreviewWindow(camera, NULL, 0, 0, 0, 0);
  if (!Morvex_Record(camera, path, 2000, 0)) {
    failed(camera, "Morvex_Record");
    return;
  }
  printf("Recording:     2 s into %s\n", path);
  for (waited = 0; waited < 15000 && !read_finished_avi(path, &frames, &rate); waited += 100) Sleep(100);
  Morvex_StopPreview(camera);
  if (waited >= 15000) {
    fprintf(stderr, "  the recording did not finish within 15 s\n");
    ++failures;
    return;
  }
  printf("  %u frames, measured frame rate %.2f frames per second\n", frames, rate);
}

int main(int argc, char** argv) {
  const char* folder = argc > 1 ? argv[1] : ".";
  int camera;

  printf("Morvex SDK %08X\n", (unsigned)Morvex_GetDllVersion());
  CreateDirectoryA(folder, NULL);
  camera = Morvex_Initialize(NULL);
  if (camera == 0) {
    fprintf(stderr, "capture: the library could not create a camera instance\n");
    return 1;
  }
  if (!print_identity(camera)) {
    fprintf(stderr, "capture: no camera is open\n");
    Morvex_Release(camera);
    return 1;
  }
  set_exposure_and_gain(camera);
  snapshot_and_save(camera, 8, folder);
  snapshot_and_save(camera, 16, folder);
  record(camera, folder);
  Morvex_Release(camera);
  if (failures != 0) fprintf(stderr, "capture: %d step(s) failed\n", failures);
  return failures == 0 ? 0 : 1;
}
