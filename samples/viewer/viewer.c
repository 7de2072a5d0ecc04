/*
 * viewer: a small Win32 application around the camera. The live preview
 * runs as a child window of the main window; the menu chooses the camera,
 * starts and stops the preview, opens the three settings dialogs, saves an
 * image and records; the status bar shows the frame rate and the sensor
 * temperature.
 *
 *   morvex-viewer [--seconds N] [--screenshot file.png]
 *
 * --seconds closes the viewer after N seconds; --screenshot then first saves
 * the main window (frame, menu, preview and status bar) into a PNG file.
 */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <windows.h>
/* After windows.h, which they build on. */
#include <commctrl.h>
#include <commdlg.h>

#include "MorvexSdk.h"
#include "error_text.h"
#include "png_writer.h"

enum {
  ID_FILE_SAVE = 100,
  ID_FILE_RECORD,
  ID_FILE_EXIT,
  ID_PREVIEW_START,
  ID_PREVIEW_STOP,
  ID_SETTINGS_CAMERA,
  ID_SETTINGS_ANALOG,
  ID_SETTINGS_IMAGE,
  ID_CAMERA_FIRST = 200, /* one item per attached camera */
  ID_STATUS = 300,
  TIMER_STATUS = 1,
  TIMER_END = 2,
  PREVIEW_CHILD_ID = 6540 /* the identifier of the library's child preview window */
};

static struct {
  HWND main;
  HWND status;
  HMENU camera_menu;
  int camera;
  int device;
  int running;
  int frame_rate; /* tenths of frames per second */
  char recording[MAX_PATH];
  const char* screenshot;
  int exit_code;
} viewer;

static void show_status(int part, const char* text) {
  SendMessageA(viewer.status, SB_SETTEXTA, part, (LPARAM)text);
}

static void report_failure(const char* what) {
  char text[256];
  int code = Morvex_GetLastError(viewer.camera);
  snprintf(text, sizeof(text), "%s: error %d, %s", what, code, sample_error_text(code));
  show_status(0, text);
}

/* The preview area: the client area above the status bar. */
static void preview_area(RECT* area) {
  RECT status;
  GetClientRect(viewer.main, area);
  GetWindowRect(viewer.status, &status);
  area->bottom -= status.bottom - status.top;
  if (area->bottom < 0) area->bottom = 0;
}

static void start_preview(void) {
  RECT area;
  if (viewer.running) return;
  preview_area(&area);
  Morvex_SetPreviewWindow(viewer.camera, viewer.main, 0, 0, area.right, area.bottom);
  /* No buffer: the frames are only shown and announced for the frame rate. */
  if (Morvex_CallBackPreview(viewer.camera, viewer.main, NULL, 0, 0)) {
    viewer.running = 1;
    show_status(0, "Preview running");
  } else {
    report_failure("Start");
  }
}

static void stop_preview(void) {
  /* Close also removes the preview window, so the next start makes one. */
  Morvex_Close(viewer.camera);
  viewer.running = 0;
  viewer.frame_rate = 0;
  viewer.recording[0] = '\0';
  show_status(0, "Stopped");
}

static void fill_camera_menu(void) {
  static char names[MORVEX_MAX_ENUM * MORVEX_NAME_LENGTH];
  int count = Morvex_EnumDevice(viewer.camera, names), i;
  while (GetMenuItemCount(viewer.camera_menu) > 0) DeleteMenu(viewer.camera_menu, 0, MF_BYPOSITION);
  for (i = 0; i < count && i < MORVEX_MAX_ENUM; ++i)
    AppendMenuA(viewer.camera_menu, MF_STRING | (i == viewer.device ? MF_CHECKED : 0), ID_CAMERA_FIRST + i,
                names + i * MORVEX_NAME_LENGTH);
  if (count == 0)
    AppendMenuA(viewer.camera_menu, MF_STRING | MF_GRAYED, ID_CAMERA_FIRST, "(no camera attached)");
}

static void choose_camera(int device) {
  int was_running = viewer.running;
  stop_preview();
  if (Morvex_SetDeviceNumber(viewer.camera, device)) {
    viewer.device = device;
    fill_camera_menu();
    if (was_running) start_preview();
  } else {
    report_failure("Select camera");
  }
}

static int ask_path(char* path, const char* filter, const char* extension, DWORD* filter_index) {
  OPENFILENAMEA dialog;
  memset(&dialog, 0, sizeof(dialog));
  path[0] = '\0';
  dialog.lStructSize = sizeof(dialog);
  dialog.hwndOwner = viewer.main;
  dialog.lpstrFilter = filter;
  dialog.lpstrFile = path;
  dialog.nMaxFile = MAX_PATH;
  dialog.lpstrDefExt = extension;
  dialog.Flags = OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST;
  if (!GetSaveFileNameA(&dialog)) return 0;
  if (filter_index) *filter_index = dialog.nFilterIndex;
  return 1;
}

static void save_image(void) {
  static const int formats[] = {MORVEX_IMAGE_PNG, MORVEX_IMAGE_TIFF, MORVEX_IMAGE_JPEG_FINE, MORVEX_IMAGE_BMP,
                                MORVEX_IMAGE_RAW};
  char path[MAX_PATH];
  DWORD index = 1;
  if (!ask_path(path, "PNG\0*.png\0TIFF\0*.tif\0JPEG\0*.jpg\0BMP\0*.bmp\0RAW\0*.raw\0", "png", &index))
    return;
  if (index < 1 || index > sizeof(formats) / sizeof(formats[0])) index = 1;
  if (Morvex_SaveImage(viewer.camera, path, formats[index - 1]))
    show_status(0, "Image saved");
  else
    report_failure("Save image");
}

static void record(void) {
  char path[MAX_PATH];
  if (!ask_path(path, "AVI\0*.avi\0", "avi", NULL)) return;
  /* Recording takes over the frames: the status bar's rate pauses meanwhile. */
  if (Morvex_Record(viewer.camera, path, 5000, 0)) {
    viewer.running = 1;
    strcpy(viewer.recording, path);
    show_status(0, "Recording 5 s");
  } else {
    report_failure("Record");
  }
}

/* The recorder fills in the file's RIFF size when it has finished. */
static int recording_finished(void) {
  unsigned char header[8] = {0};
  FILE* file = fopen(viewer.recording, "rb");
  size_t got;
  if (file == NULL) return 0;
  got = fread(header, 1, sizeof(header), file);
  fclose(file);
  return got == sizeof(header) && (header[4] | header[5] | header[6] | header[7]) != 0;
}

static void update_status(void) {
  char text[64];
  int flag = 0;
  double temperature = Morvex_GetTemperatureEx(viewer.camera, &flag);
  Morvex_GetLastError(viewer.camera); /* the temperature read records success */
  if (viewer.recording[0] != '\0' && recording_finished()) {
    stop_preview();
    show_status(0, "Recording saved");
    start_preview();
  }
  snprintf(text, sizeof(text), "%d.%d fps", viewer.frame_rate / 10, viewer.frame_rate % 10);
  show_status(1, viewer.running ? text : "-");
  if (flag)
    snprintf(text, sizeof(text), "%.1f deg C", temperature);
  else
    snprintf(text, sizeof(text), "no temperature");
  show_status(2, text);
}

static void take_screenshot(void) {
  RECT frame;
  HDC window_dc, memory;
  HBITMAP bitmap;
  HGDIOBJ old;
  BITMAPINFO info;
  void* bits = NULL;
  int width, height;

  GetWindowRect(viewer.main, &frame);
  width = frame.right - frame.left;
  height = frame.bottom - frame.top;
  memset(&info, 0, sizeof(info));
  info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height; /* top-down rows, as PNG stores them */
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  /* The window's own surface, so windows in front of it do not show. */
  window_dc = GetWindowDC(viewer.main);
  memory = CreateCompatibleDC(window_dc);
  bitmap = CreateDIBSection(window_dc, &info, DIB_RGB_COLORS, &bits, NULL, 0);
  if (bitmap == NULL) {
    fprintf(stderr, "viewer: cannot make the screenshot bitmap\n");
  } else {
    old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, window_dc, 0, 0, SRCCOPY);
    GdiFlush();
    if (png_write_bgr(viewer.screenshot, (const unsigned char*)bits, width, height, ((width * 3) + 3) & ~3))
      printf("Screenshot: %s (%d x %d)\n", viewer.screenshot, width, height);
    else
      fprintf(stderr, "viewer: cannot write %s\n", viewer.screenshot);
    SelectObject(memory, old);
    DeleteObject(bitmap);
  }
  DeleteDC(memory);
  ReleaseDC(viewer.main, window_dc);
}

static HMENU make_menu(void) {
  HMENU bar = CreateMenu(), file = CreatePopupMenu(), preview = CreatePopupMenu(),
        settings = CreatePopupMenu();
  viewer.camera_menu = CreatePopupMenu();
  AppendMenuA(file, MF_STRING, ID_FILE_SAVE, "&Save image...");
  AppendMenuA(file, MF_STRING, ID_FILE_RECORD, "&Record 5 s...");
  AppendMenuA(file, MF_SEPARATOR, 0, NULL);
  AppendMenuA(file, MF_STRING, ID_FILE_EXIT, "E&xit");
  AppendMenuA(preview, MF_STRING, ID_PREVIEW_START, "&Start");
  AppendMenuA(preview, MF_STRING, ID_PREVIEW_STOP, "S&top");
  AppendMenuA(settings, MF_STRING, ID_SETTINGS_CAMERA, "&Camera...");
  AppendMenuA(settings, MF_STRING, ID_SETTINGS_ANALOG, "&Analog...");
  AppendMenuA(settings, MF_STRING, ID_SETTINGS_IMAGE, "&Image...");
  AppendMenuA(bar, MF_POPUP, (UINT_PTR)file, "&File");
  AppendMenuA(bar, MF_POPUP, (UINT_PTR)viewer.camera_menu, "&Camera");
  AppendMenuA(bar, MF_POPUP, (UINT_PTR)preview, "&Preview");
  AppendMenuA(bar, MF_POPUP, (UINT_PTR)settings, "&Settings");
  return bar;
}

static void command(int id) {
  if (id >= ID_CAMERA_FIRST && id < ID_CAMERA_FIRST + MORVEX_MAX_ENUM) {
    choose_camera(id - ID_CAMERA_FIRST);
    return;
  }
  switch (id) {
    case ID_FILE_SAVE:
      save_image();
      break;
    case ID_FILE_RECORD:
      record();
      break;
    case ID_FILE_EXIT:
      DestroyWindow(viewer.main);
      break;
    case ID_PREVIEW_START:
      start_preview();
      break;
    case ID_PREVIEW_STOP:
      stop_preview();
      break;
    case ID_SETTINGS_CAMERA:
      if (!Morvex_SetCameraDlg(viewer.camera, viewer.main)) report_failure("Camera settings");
      break;
    case ID_SETTINGS_ANALOG:
      if (!Morvex_SetAnalogDlg(viewer.camera, viewer.main)) report_failure("Analog settings");
      break;
    case ID_SETTINGS_IMAGE:
      if (!Morvex_SetImageDlg(viewer.camera, viewer.main)) report_failure("Image settings");
      break;
  }
}

static LRESULT CALLBACK window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case MORVEX_WM_FRAME:
      if (wparam != 0) {
        viewer.frame_rate = ((const MORVEX_FRAME_INFO*)wparam)->frameRate;
      } else {
        char text[160];
        snprintf(text, sizeof(text), "Frame error %d: %s", (int)lparam, sample_error_text((int)lparam));
        show_status(0, text);
      }
      return 0;
    case MORVEX_WM_ERROR:
      if (lparam != MORVEX_ERR_SUCCESS) {
        char text[160];
        snprintf(text, sizeof(text), "Error %d: %s", (int)lparam, sample_error_text((int)lparam));
        show_status(0, text);
      }
      return 0;
    case WM_SIZE: {
      RECT area;
      HWND preview = GetDlgItem(window, PREVIEW_CHILD_ID);
      SendMessageA(viewer.status, WM_SIZE, 0, 0);
      preview_area(&area);
      /* The library scales the next frame to the new size. */
      if (preview != NULL) MoveWindow(preview, 0, 0, area.right, area.bottom, TRUE);
      return 0;
    }
    case WM_COMMAND:
      command(LOWORD(wparam));
      return 0;
    case WM_TIMER:
      if (wparam == TIMER_END) {
        KillTimer(window, TIMER_END);
        if (viewer.screenshot) take_screenshot();
        DestroyWindow(window);
      } else {
        update_status();
      }
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcA(window, message, wparam, lparam);
  }
}

int main(int argc, char** argv) {
  static const int parts[] = {300, 420, -1};
  INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_BAR_CLASSES};
  WNDCLASSA window_class = {0};
  RECT frame = {0, 0, 640, 512};
  MSG message;
  int seconds = 0, i;

  for (i = 1; i < argc; ++i) {
    if (strcmp(argv[i], "--seconds") == 0 && i + 1 < argc)
      seconds = atoi(argv[++i]);
    else if (strcmp(argv[i], "--screenshot") == 0 && i + 1 < argc)
      viewer.screenshot = argv[++i];
  }
  InitCommonControlsEx(&controls);
  window_class.lpfnWndProc = window_proc;
  window_class.hInstance = GetModuleHandleA(NULL);
  window_class.hCursor = LoadCursor(NULL, IDC_ARROW);
  window_class.hbrBackground = (HBRUSH)(COLOR_APPWORKSPACE + 1);
  window_class.lpszClassName = "MorvexViewerSample";
  RegisterClassA(&window_class);
  /* Room for the whole 640 x 512 frame above the status bar. */
  frame.bottom += 22;
  AdjustWindowRect(&frame, WS_OVERLAPPEDWINDOW, TRUE);
  viewer.main = CreateWindowA(window_class.lpszClassName, "Morvex Viewer",
                              WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, 0, 0, frame.right - frame.left,
                              frame.bottom - frame.top, NULL, make_menu(), window_class.hInstance, NULL);
  if (viewer.main == NULL) {
    fprintf(stderr, "viewer: cannot create the main window\n");
    return 1;
  }
  viewer.status = CreateWindowExA(0, STATUSCLASSNAMEA, "", WS_CHILD | WS_VISIBLE, 0, 0, 0, 0, viewer.main,
                                  (HMENU)ID_STATUS, window_class.hInstance, NULL);
  SendMessageA(viewer.status, SB_SETPARTS, 3, (LPARAM)parts);
  ShowWindow(viewer.main, SW_SHOW);
  UpdateWindow(viewer.main);

  viewer.camera = Morvex_Initialize(viewer.main);
  if (viewer.camera == 0) {
    fprintf(stderr, "viewer: the library could not create a camera instance\n");
    return 1;
  }
  viewer.device = 0;
  fill_camera_menu();
  DrawMenuBar(viewer.main);
  Morvex_SetColorMode(viewer.camera, 8);
  start_preview();
  if (!viewer.running) viewer.exit_code = 1;
  SetTimer(viewer.main, TIMER_STATUS, 1000, NULL);
  if (seconds > 0) SetTimer(viewer.main, TIMER_END, (UINT)seconds * 1000, NULL);
  while (GetMessageA(&message, NULL, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  Morvex_Release(viewer.camera);
  return viewer.exit_code;
}
