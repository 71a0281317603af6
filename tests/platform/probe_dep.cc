// A dependency of the probe module: its symbols must not be found through
// the module's handle.
#include "kdplatform/export.h"

#define EXPORT KDP_MODULE_EXPORT

EXPORT int PlatformProbeDepOnly();
EXPORT int PlatformProbeDepOnly() { return 7; }
