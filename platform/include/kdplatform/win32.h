// The Windows system interfaces the project calls, by their Windows names.
// On Windows this is the system's own headers; elsewhere it is this folder's
// compatibility layer (libkdplatform). Code includes this one header and
// carries no #ifdef of its own.
#pragma once

#if defined(_WIN32)
#include <windows.h>
#include <shlobj.h>
#include <objbase.h>
#include <comdef.h>
#include <mbstring.h>
#include <stdlib.h>
#else
#include "kdplatform/types.h"
#include "kdplatform/errors.h"
#include "kdplatform/kernel.h"
#include "kdplatform/shell.h"
#include "kdplatform/crt.h"
#include "kdplatform/com.h"
#include "kdplatform/secure_zero.h"
#endif

// The module file suffix, and the separator this project writes when it
// builds a file-system path (both separators are accepted when reading).
#if defined(_WIN32)
#define KDP_MODULE_SUFFIX ".dll"
inline constexpr char KDP_PATH_SEPARATOR = '\\';
#else
#define KDP_MODULE_SUFFIX ".so"
inline constexpr char KDP_PATH_SEPARATOR = '/';
#endif
