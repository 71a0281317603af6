#pragma once

#include "kdplatform/win32.h"

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved);
