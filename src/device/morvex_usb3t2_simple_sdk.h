// CMorvexUSB3T2SimpleSdk: the device object the camera instance creates. It
// is CMorvexZ3U2Base with its own destructor only.
#pragma once

#include "device/morvex_z3u2_base.h"

namespace morvex {

class CMorvexUSB3T2SimpleSdk : public CMorvexZ3U2Base {
 public:
  using CMorvexZ3U2Base::CMorvexZ3U2Base;
  ~CMorvexUSB3T2SimpleSdk() override;
};

}  // namespace morvex
