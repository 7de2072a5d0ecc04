// Capture geometry, acquisition and preview-window exports.
#include "api/export_pattern.h"

using morvex::CMorvex;
using morvex::api::Dispatch;

int MORVEX_CALL Morvex_SetCaptureWindow(int camera, int width, int height) {
  return Dispatch(camera, 0, [&](CMorvex& m) { return m.SetCaptureWindow(width, height); });
}

int MORVEX_CALL Morvex_SetCaptureWindowEx(int camera, int totalH, int x, int width, int totalV, int y,
                                          int height) {
  return Dispatch(camera, 0,
                  [&](CMorvex& m) { return m.SetCaptureWindowEx(totalH, x, width, totalV, y, height); });
}

int MORVEX_CALL Morvex_GetCaptureWindowEx(int camera, int* totalH, int* x, int* width, int* totalV, int* y,
                                          int* height) {
  return Dispatch(camera, 0,
                  [&](CMorvex& m) { return m.GetCaptureWindowEx(totalH, x, width, totalV, y, height); });
}

int MORVEX_CALL Morvex_Width(int camera) {
  return Dispatch(camera, 0, [](CMorvex& m) { return m.Width(); });
}

int MORVEX_CALL Morvex_Height(int camera) {
  return Dispatch(camera, 0, [](CMorvex& m) { return m.Height(); });
}

int MORVEX_CALL Morvex_SetSubSample(int camera, int mode) {
  return Dispatch(camera, 0, [&](CMorvex& m) { return m.SetSubSample(mode); });
}

int MORVEX_CALL Morvex_GetSubSample(int camera) {
  return Dispatch(camera, -1, [](CMorvex& m) { return m.GetSubSample(); });
}

int MORVEX_CALL Morvex_SetColorMode(int camera, int bitsPerPixel) {
  return Dispatch(camera, 0, [&](CMorvex& m) { return m.SetColorMode(bitsPerPixel); });
}

int MORVEX_CALL Morvex_GetColorMode(int camera) {
  return Dispatch(camera, -1, [](CMorvex& m) { return m.GetColorMode(); });
}

int MORVEX_CALL Morvex_SetSamplingRate(int camera, int rate) {
  return Dispatch(camera, 0, [&](CMorvex& m) { return m.SetSamplingRate(rate); });
}

// One body serves the sampling rate and the video format.
int MORVEX_CALL Morvex_GetSamplingRate(int camera, int* rate) {
  return Dispatch(camera, 0, [&](CMorvex& m) { return m.GetSamplingRate(rate); });
}

int MORVEX_CALL Morvex_GetVideoFormat(int camera, int* format) {
  return Dispatch(camera, 0, [&](CMorvex& m) { return m.GetSamplingRate(format); });
}

int MORVEX_CALL Morvex_SetWaitTime(int camera, int milliseconds) {
  return Dispatch(camera, 0, [&](CMorvex& m) { return m.SetWaitTime(milliseconds); });
}

int MORVEX_CALL Morvex_GetWaitTime(int camera) {
  return Dispatch(camera, -1, [](CMorvex& m) { return m.GetWaitTime(); });
}

int MORVEX_CALL Morvex_Preview(int camera) {
  return Dispatch(camera, 0, [](CMorvex& m) { return m.Preview(); });
}

int MORVEX_CALL Morvex_CallBackPreview(int camera, MORVEX_HWND window, void* buffer, int bufferSize,
                                       int rowOrder) {
  return Dispatch(camera, 0,
                  [&](CMorvex& m) { return m.CallBackPreview(window, buffer, bufferSize, rowOrder); });
}

int MORVEX_CALL Morvex_Capture(int camera) {
  return Dispatch(camera, 0, [](CMorvex& m) { return m.Capture(); });
}

int MORVEX_CALL Morvex_SnapShot(int camera, void* buffer, int bufferSize, int rowOrder) {
  return Dispatch(camera, 0, [&](CMorvex& m) { return m.SnapShot(buffer, bufferSize, rowOrder); });
}

int MORVEX_CALL Morvex_Trigger(int camera, MORVEX_HWND window, void* buffer, int bufferSize, int rowOrder) {
  return Dispatch(camera, 0, [&](CMorvex& m) { return m.Trigger(window, buffer, bufferSize, rowOrder); });
}

int MORVEX_CALL Morvex_StartPreview(int camera) {
  return Dispatch(camera, 0, [](CMorvex& m) { return m.StartPreview(); });
}

int MORVEX_CALL Morvex_StopPreview(int camera) {
  return Dispatch(camera, 0, [](CMorvex& m) { return m.StopPreview(); });
}

int MORVEX_CALL Morvex_GetImage(int camera, void* buffer, int bufferSize, int rowOrder) {
  return Dispatch(camera, 0, [&](CMorvex& m) { return m.GetImage(buffer, bufferSize, rowOrder); });
}

int MORVEX_CALL Morvex_SetPreviewWindow(int camera, MORVEX_HWND parent, int x, int y, int width, int height) {
  return Dispatch(camera, 0, [&](CMorvex& m) { return m.SetPreviewWindow(parent, x, y, width, height); });
}
