// A module for the loader tests: two exports of its own, and a use of its
// dependency so that the dependency is loaded with it.
#include "kdplatform/export.h"

#define EXPORT KDP_MODULE_EXPORT

EXPORT int PlatformProbeDepOnly();
EXPORT int PlatformProbeOwn();
EXPORT const void* PlatformProbeAddress();

EXPORT int PlatformProbeOwn() { return 40 + PlatformProbeDepOnly() - 7; }
EXPORT const void* PlatformProbeAddress() { return reinterpret_cast<const void*>(&PlatformProbeOwn); }
