// Shell folders. docs/platform.md gives the Linux folder behind each id and
// the environment variables that move it.
#pragma once

#include "kdplatform/export.h"
#include "kdplatform/types.h"

#define CSIDL_LOCAL_APPDATA 0x001C
#define CSIDL_COMMON_APPDATA 0x0023
#define CSIDL_FLAG_CREATE 0x8000
#define SHGFP_TYPE_CURRENT 0

// In namespace kdp, so that the process's global C names stay free for the
// system and for other libraries that imitate the same calls; code calls
// them by their plain names through the using-declarations below.
namespace kdp {

KDPLATFORM_API HRESULT WINAPI SHGetFolderPathA(HWND owner, int folder, HANDLE token, DWORD flags, LPSTR path);
KDPLATFORM_API BOOL WINAPI SHGetSpecialFolderPathA(HWND owner, LPSTR path, int folder, BOOL create);

}  // namespace kdp

using kdp::SHGetFolderPathA;
using kdp::SHGetSpecialFolderPathA;
