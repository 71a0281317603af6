// The platform layer is a static library on Windows, linked into every
// module, so none of it is exported: the per-thread last error and the BSTR
// allocator are the system's, one per process anyway.
#pragma once

#define KDPLATFORM_API
#define KDPLATFORM_VISIBLE

// KDP_MODULE_EXPORT marks a function a module exports by name for
// GetProcAddress (a component's "GetClassObject"). KDP_MODULE_LOCAL keeps a
// variable of a header one per module even when several modules link it: on
// Windows every DLL has its own anyway.
#define KDP_MODULE_EXPORT extern "C" __declspec(dllexport)
#define KDP_MODULE_LOCAL
