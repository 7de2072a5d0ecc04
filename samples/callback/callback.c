/*
 * callback: runs a callback preview into an application buffer, counts the
 * frames announced to a window of its own and prints the frame rate once a
 * second, with every error the camera reports. Unplugging the camera shows
 * error 13 and ends the program.
 *
 *   morvex-callback [seconds]      (default: 5)
 *
 * Exits with 0 when frames arrived until the end, 2 when the camera stopped
 * streaming, 1 on any other failure.
 */
#include <stdio.h>
#include <stdlib.h>
#include <windows.h>

#include "MorvexSdk.h"
#include "error_text.h"

#define TIMER_SECOND 1

static struct {
  int camera;
  int seconds_left;
  long frames; /* frames announced in the current second */
  long total_frames;
  int last_rate; /* tenths of frames per second, as measured by the library */
  int exit_code;
} app;

static void finish(HWND window, int exit_code) {
  if (app.exit_code == 0) app.exit_code = exit_code;
  KillTimer(window, TIMER_SECOND);
  DestroyWindow(window);
}

static LRESULT CALLBACK window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case MORVEX_WM_FRAME:
      if (wparam != 0) {
        /* The record is overwritten by the next frame: read it now. */
        const MORVEX_FRAME_INFO* info = (const MORVEX_FRAME_INFO*)wparam;
        ++app.frames;
        ++app.total_frames;
        app.last_rate = info->frameRate;
      } else {
        printf("frame error %d: %s\n", (int)lparam, sample_error_text((int)lparam));
        if (lparam == MORVEX_ERR_STREAM_STOPPED) finish(window, 2);
      }
      return 0;
    case MORVEX_WM_ERROR:
      if (lparam != MORVEX_ERR_SUCCESS) printf("error %d: %s\n", (int)lparam, sample_error_text((int)lparam));
      return 0;
    case WM_TIMER:
      printf("%ld frames in the last second, library measures %d.%d frames per second\n", app.frames,
             app.last_rate / 10, app.last_rate % 10);
      fflush(stdout);
      app.frames = 0;
      if (--app.seconds_left <= 0) finish(window, app.total_frames > 0 ? 0 : 1);
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcA(window, message, wparam, lparam);
  }
}

int main(int argc, char** argv) {
  WNDCLASSA window_class = {0};
  HWND window;
  MSG message;
  void* buffer;
  int size;

  app.seconds_left = argc > 1 ? atoi(argv[1]) : 5;
  if (app.seconds_left <= 0) app.seconds_left = 5;
  setvbuf(stdout, NULL, _IONBF, 0);

  window_class.lpfnWndProc = window_proc;
  window_class.hInstance = GetModuleHandleA(NULL);
  window_class.lpszClassName = "MorvexCallbackSample";
  RegisterClassA(&window_class);
  /* A message-only window: it receives the posts, nothing is shown. */
  window = CreateWindowA(window_class.lpszClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE, NULL,
                         window_class.hInstance, NULL);
  if (window == NULL) {
    fprintf(stderr, "callback: cannot create the message window\n");
    return 1;
  }

  app.camera = Morvex_Initialize(window);
  if (app.camera == 0) {
    fprintf(stderr, "callback: the library could not create a camera instance\n");
    return 1;
  }
  /* 8-bit grey frames of the whole capture window, rows padded to 4 bytes. */
  Morvex_SetColorMode(app.camera, 8);
  size = ((Morvex_Width(app.camera) + 3) & ~3) * Morvex_Height(app.camera);
  buffer = malloc(size > 0 ? (size_t)size : 1);
  /* No preview window: frames only go to the buffer and the callback. */
  Morvex_SetPreviewWindow(app.camera, NULL, 0, 0, 0, 0);
  if (buffer == NULL || !Morvex_CallBackPreview(app.camera, window, buffer, size, 1)) {
    sample_print_errors(app.camera, "Morvex_CallBackPreview");
    Morvex_Release(app.camera);
    free(buffer);
    return 1;
  }
  printf("Callback preview of %d x %d pixels for %d s\n", Morvex_Width(app.camera), Morvex_Height(app.camera),
         app.seconds_left);
  SetTimer(window, TIMER_SECOND, 1000, NULL);
  while (GetMessageA(&message, NULL, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  Morvex_StopPreview(app.camera);
  Morvex_Release(app.camera);
  free(buffer);
  printf("%ld frames received\n", app.total_frames);
  return app.exit_code;
}
