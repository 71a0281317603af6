// The thread's last error: the system's own GetLastError and SetLastError.
#pragma once

#include <windows.h>
