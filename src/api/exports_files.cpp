// Mask, still-image, recording, configuration-file and dialog exports.
#include "api/export_pattern.h"

using morvex::CMorvex;
using morvex::api::Dispatch;
using morvex::api::WithNarrowPath;

int MORVEX_CALL Morvex_LoadMaskFile(int camera, const char* path) {
  return Dispatch(camera, 0, [&](CMorvex& m) { return m.LoadMaskFile(path); });
}

int MORVEX_CALL Morvex_LoadMaskFileW(int camera, const wchar_t* path) {
  return WithNarrowPath(camera, path, [](CMorvex& m, const char* narrow) { return m.LoadMaskFile(narrow); });
}

int MORVEX_CALL Morvex_SaveMaskFile(int camera, const char* path) {
  return Dispatch(camera, 0, [&](CMorvex& m) { return m.SaveMaskFile(path); });
}

int MORVEX_CALL Morvex_SaveMaskFileW(int camera, const wchar_t* path) {
  return WithNarrowPath(camera, path, [](CMorvex& m, const char* narrow) { return m.SaveMaskFile(narrow); });
}

int MORVEX_CALL Morvex_UpdateMaskData(int camera, int which) {
  return Dispatch(camera, 0, [&](CMorvex& m) { return m.UpdateMaskData(which); });
}

int MORVEX_CALL Morvex_SaveImage(int camera, const char* path, int format) {
  return Dispatch(camera, 0, [&](CMorvex& m) { return m.SaveImage(path, format); });
}

int MORVEX_CALL Morvex_SaveImageW(int camera, const wchar_t* path, int format) {
  return WithNarrowPath(camera, path,
                        [&](CMorvex& m, const char* narrow) { return m.SaveImage(narrow, format); });
}

int MORVEX_CALL Morvex_Record(int camera, const char* path, int durationMs, int showPreview) {
  return Dispatch(camera, 0, [&](CMorvex& m) { return m.Record(path, durationMs, showPreview); });
}

int MORVEX_CALL Morvex_RecordW(int camera, const wchar_t* path, int durationMs, int showPreview) {
  return WithNarrowPath(camera, path, [&](CMorvex& m, const char* narrow) {
    return m.Record(narrow, durationMs, showPreview);
  });
}

int MORVEX_CALL Morvex_LoadConfigFileA(int camera, const char* path) {
  return Dispatch(camera, 0, [&](CMorvex& m) { return m.LoadConfigFile(path); });
}

int MORVEX_CALL Morvex_LoadConfigFileW(int camera, const wchar_t* path) {
  return WithNarrowPath(camera, path,
                        [](CMorvex& m, const char* narrow) { return m.LoadConfigFile(narrow); });
}

int MORVEX_CALL Morvex_SetCameraDlg(int camera, MORVEX_HWND owner) {
  return Dispatch(camera, 0, [&](CMorvex& m) { return m.CameraDialog(owner); });
}

int MORVEX_CALL Morvex_SetAnalogDlg(int camera, MORVEX_HWND owner) {
  return Dispatch(camera, 0, [&](CMorvex& m) { return m.AnalogDialog(owner); });
}

int MORVEX_CALL Morvex_SetImageDlg(int camera, MORVEX_HWND owner) {
  return Dispatch(camera, 0, [&](CMorvex& m) { return m.ImageDialog(owner); });
}
