// A dependency of the probe module: its symbols must not be found through
// the module's handle.
#define EXPORT extern "C" __attribute__((visibility("default")))

EXPORT int PlatformProbeDepOnly();
EXPORT int PlatformProbeDepOnly() { return 7; }
