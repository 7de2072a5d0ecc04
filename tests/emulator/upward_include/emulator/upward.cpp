// A deliberate upward include: the layer check must refuse this tree.
#include "device/morvex_z3u2_base.h"
