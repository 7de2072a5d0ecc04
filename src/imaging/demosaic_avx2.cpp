// No 256-bit variant yet: the 128-bit kernels are chosen instead.
#include "imaging/demosaic.h"

namespace morvex::imaging {

ImageOperation Demosaic8Avx2Routine() { return nullptr; }

}  // namespace morvex::imaging
