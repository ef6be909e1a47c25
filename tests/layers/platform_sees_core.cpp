// Compiled with the platform layer's search path alone, and must fail to:
// the platform layer is below the formats.
#include "formats/kgf.h"
