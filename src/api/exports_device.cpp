// Direct device access and device selection exports.
#include "api/export_pattern.h"

using morvex::CameraInfoRecord;
using morvex::CMorvex;
using morvex::api::Dispatch;

int MORVEX_CALL Morvex_ReadRegister(int camera, int reg, int* flag) {
  return Dispatch(camera, 0, [&](CMorvex& m) { return m.ReadSensorRegister(reg, false, flag); });
}

int MORVEX_CALL Morvex_ReadRegisterEx(int camera, int reg, int* flag) {
  return Dispatch(camera, 0, [&](CMorvex& m) { return m.ReadSensorRegister(reg, true, flag); });
}

int MORVEX_CALL Morvex_WriteRegister(int camera, int reg, int value) {
  return Dispatch(camera, 0, [&](CMorvex& m) { return m.WriteSensorRegister(reg, value, false); });
}

int MORVEX_CALL Morvex_WriteRegisterEx(int camera, int reg, int value) {
  return Dispatch(camera, 0, [&](CMorvex& m) { return m.WriteSensorRegister(reg, value, true); });
}

int MORVEX_CALL Morvex_Fpga_ReadRegister(int camera, int reg, int* flag) {
  return Dispatch(camera, 0, [&](CMorvex& m) { return m.ReadFpgaRegister(reg, flag); });
}

int MORVEX_CALL Morvex_Fpga_WriteRegister(int camera, int reg, int value) {
  return Dispatch(camera, 0, [&](CMorvex& m) { return m.WriteFpgaRegister(reg, value); });
}

int MORVEX_CALL Morvex_GetIOPort(int camera, unsigned char* value, int, int) {
  return Dispatch(camera, 0, [&](CMorvex& m) { return m.GetIOPort(value); });
}

int MORVEX_CALL Morvex_SetIOPort(int camera, int value) {
  return Dispatch(camera, 0, [&](CMorvex& m) { return m.SetIOPort(value); });
}

int MORVEX_CALL Morvex_ReadSromID(int camera, int address, int* flag) {
  return Dispatch(camera, 0, [&](CMorvex& m) { return m.ReadSromId(address, flag); });
}

int MORVEX_CALL Morvex_WriteSromID(int camera, int address, int value) {
  return Dispatch(camera, 0, [&](CMorvex& m) { return m.WriteSromId(address, value); });
}

int MORVEX_CALL Morvex_ReadSerialNumberA(int camera, char* buffer, int bufferSize) {
  return Dispatch(camera, 0, [&](CMorvex& m) { return m.ReadSerialNumber(buffer, bufferSize); });
}

int MORVEX_CALL Morvex_ReadSerialNumberW(int camera, wchar_t* buffer, int bufferLength) {
  return Dispatch(camera, 0, [&](CMorvex& m) { return m.ReadSerialNumberW(buffer, bufferLength); });
}

int MORVEX_CALL Morvex_EnumDevice(int camera, char* names) {
  return Dispatch(camera, 0, [&](CMorvex& m) { return m.EnumDevice(names); });
}

int MORVEX_CALL Morvex_EnumDeviceW(int camera, wchar_t* names) {
  return Dispatch(camera, 0, [&](CMorvex& m) { return m.EnumDeviceW(names); });
}

int MORVEX_CALL Morvex_GetDeviceName(int camera, int device, char* buffer, int bufferSize) {
  return Dispatch(camera, 0, [&](CMorvex& m) { return m.GetDeviceName(device, buffer, bufferSize); });
}

int MORVEX_CALL Morvex_GetDeviceNameW(int camera, int device, wchar_t* buffer, int bufferLength) {
  return Dispatch(camera, 0, [&](CMorvex& m) { return m.GetDeviceNameW(device, buffer, bufferLength); });
}

int MORVEX_CALL Morvex_SetDeviceNumber(int camera, int device) {
  return Dispatch(camera, 0, [&](CMorvex& m) { return m.SetDeviceNumber(device); });
}

int MORVEX_CALL Morvex_GetCameraInfo(int camera, MORVEX_CAMERA_INFO* info) {
  return Dispatch(camera, 0,
                  [&](CMorvex& m) { return m.GetCameraInfo(reinterpret_cast<CameraInfoRecord*>(info)); });
}

int MORVEX_CALL Morvex_Close(int camera) {
  return Dispatch(camera, 0, [](CMorvex& m) { return m.Close(); });
}
