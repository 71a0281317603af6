// The Windows system interfaces the project calls, by their Windows names.
// Code includes this one header and carries no #ifdef of its own: CMake puts
// one system's folder on the include path (platform/windows/include: the
// system's own headers; platform/posix/include: this layer's Linux
// counterparts, libkdplatform).
#pragma once

#include "kdplatform/types.h"
#include "kdplatform/errors.h"
#include "kdplatform/kernel.h"
#include "kdplatform/shell.h"
#include "kdplatform/crt.h"
#include "kdplatform/com.h"
#include "kdplatform/secure_zero.h"
#include "kdplatform/file_names.h"
#include "kdplatform/proc_address.h"
