// Operations that forward unchanged to the sensor object; without one they
// answer 0.
#include "device/morvex_z3u2_base.h"

namespace morvex {

// clang-format off
int32_t CMorvexZ3U2Base::CopyDescriptor(SensorDescriptor* destination) { return sensor_ ? destination ? sensor_->CopyDescriptor(destination) : 0 : 0; }
int32_t CMorvexZ3U2Base::SetClockSetting(int32_t value) { return sensor_ ? sensor_->SetClockSetting(value) : 0; }
int32_t CMorvexZ3U2Base::SetMirrorH(int32_t on) { return sensor_ ? sensor_->SetMirrorH(on) : 0; }
int32_t CMorvexZ3U2Base::SetMirrorV(int32_t on) { return sensor_ ? sensor_->SetMirrorV(on) : 0; }
int32_t CMorvexZ3U2Base::GetMirrorH(int32_t* on) { return sensor_ ? sensor_->GetMirrorH(on) : 0; }
int32_t CMorvexZ3U2Base::GetMirrorV(int32_t* on) { return sensor_ ? sensor_->GetMirrorV(on) : 0; }
int32_t CMorvexZ3U2Base::GetMirrorHDefault() { return sensor_ ? sensor_->GetMirrorHDefault() : 0; }
int32_t CMorvexZ3U2Base::GetMirrorVDefault() { return sensor_ ? sensor_->GetMirrorVDefault() : 0; }
int32_t CMorvexZ3U2Base::HasMirrorV() { return sensor_ ? sensor_->HasMirrorV() : 0; }
int32_t CMorvexZ3U2Base::HasMirrorH() { return sensor_ ? sensor_->HasMirrorH() : 0; }
int32_t CMorvexZ3U2Base::GetTriggerMode(int32_t* mode) { return sensor_ ? sensor_->GetTriggerMode(mode) : 0; }
int32_t CMorvexZ3U2Base::SetGain(int32_t gain) { return sensor_ ? sensor_->SetGain(gain) : 0; }
int32_t CMorvexZ3U2Base::GetGain(int32_t* gain) { return sensor_ ? sensor_->GetGain(gain) : 0; }
int32_t CMorvexZ3U2Base::GetGainMin(int32_t* value) { return sensor_ ? sensor_->GetGainMin(value) : 0; }
int32_t CMorvexZ3U2Base::GetGainMax(int32_t* value) { return sensor_ ? sensor_->GetGainMax(value) : 0; }
int32_t CMorvexZ3U2Base::GetGainDefault(int32_t* value) { return sensor_ ? sensor_->GetGainDefault(value) : 0; }
int32_t CMorvexZ3U2Base::GetExposureTime(int32_t* value) { return sensor_ ? sensor_->GetExposureTime(value) : 0; }
int32_t CMorvexZ3U2Base::GetExposureTimeMin(int32_t* value) { return sensor_ ? sensor_->GetExposureTimeMin(value) : 0; }
int32_t CMorvexZ3U2Base::GetExposureTimeMax(int32_t* value) { return sensor_ ? sensor_->GetExposureTimeMax(value) : 0; }
int32_t CMorvexZ3U2Base::GetExposureTimeDefault(int32_t* value) { return sensor_ ? sensor_->GetExposureTimeDefault(value) : 0; }
int32_t CMorvexZ3U2Base::SetExposureLines(int32_t lines) { return sensor_ ? sensor_->SetExposureLines(lines) : 0; }
int32_t CMorvexZ3U2Base::GetExposureLines(int32_t* lines) { return sensor_ ? sensor_->GetExposureLines(lines) : 0; }
int32_t CMorvexZ3U2Base::GetExposureLinesMin(int32_t* value) { return sensor_ ? sensor_->GetExposureLinesMin(value) : 0; }
int32_t CMorvexZ3U2Base::GetExposureLinesMax(int32_t* value) { return sensor_ ? sensor_->GetExposureLinesMax(value) : 0; }
int32_t CMorvexZ3U2Base::GetExposureLinesDefault(int32_t* value) { return sensor_ ? sensor_->GetExposureLinesDefault(value) : 0; }
int32_t CMorvexZ3U2Base::HasRealExposureTime() { return sensor_ ? sensor_->HasRealExposureTime() : 0; }
int32_t CMorvexZ3U2Base::GetRealExposureTime(double* seconds) { return sensor_ ? sensor_->GetRealExposureTime(seconds) : 0; }
int32_t CMorvexZ3U2Base::GetRealExposureTimeMin(double* seconds) { return sensor_ ? sensor_->GetRealExposureTimeMin(seconds) : 0; }
int32_t CMorvexZ3U2Base::GetRealExposureTimeMax(double* seconds) { return sensor_ ? sensor_->GetRealExposureTimeMax(seconds) : 0; }
int32_t CMorvexZ3U2Base::GetRealExposureTimeDefault(double* seconds) { return sensor_ ? sensor_->GetRealExposureTimeDefault(seconds) : 0; }
int32_t CMorvexZ3U2Base::ExtendedSettingPair1(int32_t a, int32_t b) { return sensor_ ? sensor_->ExtendedSettingPair1(a, b) : 0; }
int32_t CMorvexZ3U2Base::ExtendedSettingPair2(int32_t a, int32_t b) { return sensor_ ? sensor_->ExtendedSettingPair2(a, b) : 0; }
int32_t CMorvexZ3U2Base::ExtendedSetting1(int32_t a) { return sensor_ ? sensor_->ExtendedSetting1(a) : 0; }
int32_t CMorvexZ3U2Base::ExtendedSetting2(int32_t a) { return sensor_ ? sensor_->ExtendedSetting2(a) : 0; }
int32_t CMorvexZ3U2Base::ExtendedSetting3(int32_t a) { return sensor_ ? sensor_->ExtendedSetting3(a) : 0; }
int32_t CMorvexZ3U2Base::ExtendedSettingPair3(int32_t a, int32_t b) { return sensor_ ? sensor_->ExtendedSettingPair3(a, b) : 0; }
int32_t CMorvexZ3U2Base::ExtendedSettingPair4(int32_t a, int32_t b) { return sensor_ ? sensor_->ExtendedSettingPair4(a, b) : 0; }
int32_t CMorvexZ3U2Base::ExtendedSetting4(int32_t a) { return sensor_ ? sensor_->ExtendedSetting4(a) : 0; }
int32_t CMorvexZ3U2Base::ExtendedSetting5(int32_t a) { return sensor_ ? sensor_->ExtendedSetting5(a) : 0; }
int32_t CMorvexZ3U2Base::ExtendedSetting6(int32_t a) { return sensor_ ? sensor_->ExtendedSetting6(a) : 0; }
int32_t CMorvexZ3U2Base::SetGainRed(int32_t gain) { return sensor_ ? sensor_->SetGainRed(gain) : 0; }
int32_t CMorvexZ3U2Base::GetGainRed(int32_t* gain) { return sensor_ ? sensor_->GetGainRed(gain) : 0; }
int32_t CMorvexZ3U2Base::SetGainGreen1(int32_t gain) { return sensor_ ? sensor_->SetGainGreen1(gain) : 0; }
int32_t CMorvexZ3U2Base::GetGainGreen1(int32_t* gain) { return sensor_ ? sensor_->GetGainGreen1(gain) : 0; }
int32_t CMorvexZ3U2Base::SetGainGreen2(int32_t gain) { return sensor_ ? sensor_->SetGainGreen2(gain) : 0; }
int32_t CMorvexZ3U2Base::GetGainGreen2(int32_t* gain) { return sensor_ ? sensor_->GetGainGreen2(gain) : 0; }
int32_t CMorvexZ3U2Base::SetGainBlue(int32_t gain) { return sensor_ ? sensor_->SetGainBlue(gain) : 0; }
int32_t CMorvexZ3U2Base::GetGainBlue(int32_t* gain) { return sensor_ ? sensor_->GetGainBlue(gain) : 0; }
int32_t CMorvexZ3U2Base::GetColorGainMin(int32_t* value) { return sensor_ ? sensor_->GetColorGainMin(value) : 0; }
int32_t CMorvexZ3U2Base::GetColorGainMax(int32_t* value) { return sensor_ ? sensor_->GetColorGainMax(value) : 0; }
int32_t CMorvexZ3U2Base::GetColorGainDefault(int32_t* value) { return sensor_ ? sensor_->GetColorGainDefault(value) : 0; }
int32_t CMorvexZ3U2Base::HasBlackLevel() { return sensor_ ? sensor_->HasBlackLevel() : 0; }
int32_t CMorvexZ3U2Base::SetBlackLevel(int32_t level) { return sensor_ ? sensor_->SetBlackLevel(level) : 0; }
int32_t CMorvexZ3U2Base::GetBlackLevel(int32_t* value) { return sensor_ ? sensor_->GetBlackLevel(value) : 0; }
int32_t CMorvexZ3U2Base::GetBlackLevelMin(int32_t* value) { return sensor_ ? sensor_->GetBlackLevelMin(value) : 0; }
int32_t CMorvexZ3U2Base::GetBlackLevelMax(int32_t* value) { return sensor_ ? sensor_->GetBlackLevelMax(value) : 0; }
int32_t CMorvexZ3U2Base::GetBlackLevelDefault(int32_t* value) { return sensor_ ? sensor_->GetBlackLevelDefault(value) : 0; }
int32_t CMorvexZ3U2Base::HasGainMode() { return sensor_ ? sensor_->HasGainMode() : 0; }
int32_t CMorvexZ3U2Base::SetGainMode(int32_t mode) { return sensor_ ? sensor_->SetGainMode(mode) : 0; }
int32_t CMorvexZ3U2Base::GetGainMode(int32_t* mode) { return sensor_ ? sensor_->GetGainMode(mode) : 0; }
int32_t CMorvexZ3U2Base::WriteSensorRegister(uint16_t address, uint8_t value) { return sensor_ ? sensor_->WriteRegisterRaw(address, value) : 0; }
int32_t CMorvexZ3U2Base::ReadSensorRegister(uint16_t address, uint8_t* value) { return sensor_ ? sensor_->ReadRegisterRaw(address, value) : 0; }
int32_t CMorvexZ3U2Base::SetSamplingRate(int32_t a, int32_t b) { return sensor_ ? sensor_->SetSamplingRate(a, b) : 0; }
int32_t CMorvexZ3U2Base::HasGainLevel() { return sensor_ ? sensor_->HasGainLevel() : 0; }
int32_t CMorvexZ3U2Base::SetGainLevel(int32_t level) { return sensor_ ? sensor_->SetGainLevel(level) : 0; }
int32_t CMorvexZ3U2Base::GetGainLevel() { return sensor_ ? sensor_->GetGainLevel() : 0; }
int32_t CMorvexZ3U2Base::HasInternalCorrection() { return sensor_ ? sensor_->HasInternalCorrection() : 0; }
int32_t CMorvexZ3U2Base::HasCooler() { return sensor_ ? sensor_->HasCooler() : 0; }
int32_t CMorvexZ3U2Base::GetCooler() { return sensor_ ? sensor_->GetCooler() : 0; }
int32_t CMorvexZ3U2Base::SetCooler(int32_t on) { return sensor_ ? sensor_->SetCooler(on) : 0; }
int32_t CMorvexZ3U2Base::HasTemperature() { return sensor_ ? sensor_->HasTemperature() : 0; }
int32_t CMorvexZ3U2Base::GetTemperature(double* celsius) { return sensor_ ? sensor_->GetTemperature(celsius) : 0; }
int32_t CMorvexZ3U2Base::HasExtraFeature() { return sensor_ ? sensor_->HasExtraFeature() : 0; }
int32_t CMorvexZ3U2Base::SetExtraFeature(int32_t a) { return sensor_ ? sensor_->SetExtraFeature(a) : 0; }
int32_t CMorvexZ3U2Base::GetExtraFeature(int32_t* a) { return sensor_ ? sensor_->GetExtraFeature(a) : 0; }
int32_t CMorvexZ3U2Base::HasAuxiliarySwitch() { return sensor_ ? sensor_->HasAuxiliarySwitch() : 0; }
int32_t CMorvexZ3U2Base::GetAuxiliarySwitch(int32_t* on) { return sensor_ ? sensor_->GetAuxiliarySwitch(on) : 0; }
int32_t CMorvexZ3U2Base::SetAuxiliarySwitch(int32_t on) { return sensor_ ? sensor_->SetAuxiliarySwitch(on) : 0; }
int32_t CMorvexZ3U2Base::ExtraQuery1() { return sensor_ ? sensor_->ExtraQuery1() : 0; }
int32_t CMorvexZ3U2Base::ExtraQuery2() { return sensor_ ? sensor_->ExtraQuery2() : 0; }
int32_t CMorvexZ3U2Base::ExtraQuery3() { return sensor_ ? sensor_->ExtraQuery3() : 0; }
int32_t CMorvexZ3U2Base::ExtraCommand1(int32_t a) { return sensor_ ? sensor_->ExtraCommand1(a) : 0; }
int32_t CMorvexZ3U2Base::ExtraCommand2(int32_t a) { return sensor_ ? sensor_->ExtraCommand2(a) : 0; }
int32_t CMorvexZ3U2Base::OptionalOperationPair(int32_t a, int32_t b) { return sensor_ ? sensor_->OptionalOperationPair(a, b) : 0; }
int32_t CMorvexZ3U2Base::OptionalOperationQuad(int32_t a, int32_t b, int32_t c, int32_t d) { return sensor_ ? sensor_->OptionalOperationQuad(a, b, c, d) : 0; }
int32_t CMorvexZ3U2Base::SetTriggerOutput(int32_t on) { return sensor_ ? sensor_->SetTriggerOutput(on) : 0; }
int32_t CMorvexZ3U2Base::ApplyTriggerOutput() { return sensor_ ? sensor_->ApplyTriggerOutput() : 0; }
int32_t CMorvexZ3U2Base::HasTriggerOutput() { return sensor_ ? sensor_->HasTriggerOutput() : 0; }
int32_t CMorvexZ3U2Base::HasShortExposureMode() { return sensor_ ? sensor_->HasShortExposureMode() : 0; }
int32_t CMorvexZ3U2Base::GetShortExposureMode(int32_t* on) { return sensor_ ? sensor_->GetShortExposureMode(on) : 0; }
int32_t CMorvexZ3U2Base::SetShortExposureMode(int32_t on) { return sensor_ ? sensor_->SetShortExposureMode(on) : 0; }
int32_t CMorvexZ3U2Base::HasAuxiliary() { return sensor_ ? sensor_->HasAuxiliary() : 0; }
int32_t CMorvexZ3U2Base::GetAuxiliaryMin(int32_t* value) { return sensor_ ? sensor_->GetAuxiliaryMin(value) : 0; }
int32_t CMorvexZ3U2Base::GetAuxiliaryMax(int32_t* value) { return sensor_ ? sensor_->GetAuxiliaryMax(value) : 0; }
int32_t CMorvexZ3U2Base::GetAuxiliaryDefault(int32_t* value) { return sensor_ ? sensor_->GetAuxiliaryDefault(value) : 0; }
int32_t CMorvexZ3U2Base::SetAuxiliaryAlternate(int32_t value) { return sensor_ ? sensor_->SetAuxiliaryAlternate(value) : 0; }
int32_t CMorvexZ3U2Base::SetAuxiliary(int32_t value) { return sensor_ ? sensor_->SetAuxiliary(value) : 0; }
int32_t CMorvexZ3U2Base::SetAuxiliaryPair(int32_t a, int32_t b) { return sensor_ ? sensor_->SetAuxiliaryPair(a, b) : 0; }
int32_t CMorvexZ3U2Base::OptionalQuery3() { return sensor_ ? sensor_->OptionalQuery3() : 0; }
int32_t CMorvexZ3U2Base::OptionalCommand7(int32_t a) { return sensor_ ? sensor_->OptionalCommand7(a) : 0; }
int32_t CMorvexZ3U2Base::GetBytesPerPixel() { return sensor_ ? sensor_->GetBytesPerPixel() : 0; }
int32_t CMorvexZ3U2Base::SupportsColorSetting0() { return sensor_ ? sensor_->SupportsColorSetting0() : 0; }
int32_t CMorvexZ3U2Base::SupportsColorSetting1() { return sensor_ ? sensor_->SupportsColorSetting1() : 0; }
int32_t CMorvexZ3U2Base::SupportsColorSetting2() { return sensor_ ? sensor_->SupportsColorSetting2() : 0; }
int32_t CMorvexZ3U2Base::CanSetFpgaMode24() { return sensor_ ? sensor_->CanSetFpgaMode24() : 0; }
int32_t CMorvexZ3U2Base::SetFpgaMode24() { return sensor_ ? sensor_->SetFpgaMode24() : 0; }
int32_t CMorvexZ3U2Base::StreamStartQuery() { return sensor_ ? sensor_->StreamStartQuery() : 0; }

void CMorvexZ3U2Base::OnSettingsApplied() {
  if (sensor_) sensor_->OnSettingsApplied();
}
// clang-format on
void CMorvexZ3U2Base::OnSettingsHook() {
  if (sensor_) sensor_->OnSettingsHook();
}

}  // namespace morvex
