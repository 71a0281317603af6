// Visibility of the platform layer's own symbols. The layer is one shared
// library (the counterpart of kernel32/ole32/shell32/msvcrt), so every module
// of the process sees the same per-thread last error.
#pragma once

#define KDPLATFORM_API __attribute__((visibility("default")))
// Types whose run-time type information must be one across modules: exception
// classes that cross a module boundary, and COM interfaces.
#define KDPLATFORM_VISIBLE __attribute__((visibility("default")))

// KDP_MODULE_EXPORT marks a function a module exports by name for
// GetProcAddress (a component's "GetClassObject"). KDP_MODULE_LOCAL keeps a
// variable of a header one per module even when several modules link it.
#define KDP_MODULE_EXPORT extern "C" __attribute__((visibility("default")))
#define KDP_MODULE_LOCAL __attribute__((visibility("hidden")))
