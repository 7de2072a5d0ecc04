/* Compiles and links against the public header alone, as a C99 program. */
#include "MorvexSdk.h"

#include <stdio.h>

int main(int argc, char** argv) {
  MORVEX_CAMERA_INFO info;
  MORVEX_FRAME_INFO frame;
  int flag = 0;
  int camera;
  (void)argv;
  info.size = (int32_t)sizeof(info);
  frame.buffer = NULL;
  printf("version %d, record sizes %u and %u\n", Morvex_GetDllVersion(), (unsigned)sizeof(info),
         (unsigned)sizeof(frame));
  if (argc > 1) {
    /* Only reached on request: exercises the import of a few entry points. */
    camera = Morvex_Initialize(NULL);
    Morvex_GetCameraInfo(camera, &info);
    Morvex_GetBrightness(camera, &flag);
    Morvex_SaveImageW(camera, L"image.bmp", MORVEX_IMAGE_BMP);
    Morvex_Release(camera);
  }
  return MORVEX_DLL_VERSION == 35194145 && MORVEX_ERR_MASK_FILE == 14 && MORVEX_WM_ERROR == 0x8003 ? 0 : 1;
}
