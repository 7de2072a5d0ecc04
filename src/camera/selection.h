// The selection and naming room: which attached camera is opened.
#pragma once

#include <cstdint>
#include <string>

namespace morvex {

class Selection {
 public:
  static constexpr int kMaxEnumeratedNames = 10;
  static constexpr int kNameEntryLength = 256;

  // "MorvexVelsaTEC_NN" for the running number `number`.
  static std::string DeviceName(int32_t number);

  // The opened camera's device number; -1 while none is.
  int32_t device() const { return device_; }
  bool opened() const { return device_ >= 0; }
  void Opened(int32_t device) { device_ = device; }
  void Forget() { device_ = -1; }

  // True when a selection was asked for before this one; marks this one.
  bool MarkSelecting() {
    const bool before = selected_before_;
    selected_before_ = true;
    return before;
  }

 private:
  bool selected_before_ = false;
  int32_t device_ = -1;
};

}  // namespace morvex
