// Shell folders. docs/platform.md gives the Linux folder behind each id and
// the environment variables that move it.
#pragma once

#include "kdplatform/export.h"
#include "kdplatform/types.h"

#define CSIDL_LOCAL_APPDATA 0x001C
#define CSIDL_COMMON_APPDATA 0x0023
#define CSIDL_FLAG_CREATE 0x8000
#define SHGFP_TYPE_CURRENT 0

extern "C" {

KDPLATFORM_API HRESULT WINAPI SHGetFolderPathA(HWND owner, int folder, HANDLE token, DWORD flags, LPSTR path);
KDPLATFORM_API BOOL WINAPI SHGetSpecialFolderPathA(HWND owner, LPSTR path, int folder, BOOL create);

}  // extern "C"
