// Compiled with the core's search path alone, and must fail to: the core
// may not see the dialog's routines above it.
#include "routines/batch.h"
