// Shell folders: the system's own.
#pragma once

#include <windows.h>
#include <shlobj.h>
