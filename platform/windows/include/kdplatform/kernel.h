// Kernel calls (modules, the per-thread last error, folders, drives, disk
// space, code pages): the system's own.
#pragma once

#include <windows.h>
