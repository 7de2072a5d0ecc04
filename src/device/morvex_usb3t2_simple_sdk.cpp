#include "device/morvex_usb3t2_simple_sdk.h"

namespace morvex {

// Closing here, while the object is still complete, keeps the frame thread
// from running into a half-destroyed object.
CMorvexUSB3T2SimpleSdk::~CMorvexUSB3T2SimpleSdk() { CloseCamera(); }

}  // namespace morvex
