// SecureZeroMemory: the system's inline function, which the compiler may not
// optimise away.
#pragma once

#include <windows.h>
