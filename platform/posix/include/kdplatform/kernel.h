// Kernel calls: module loading, the per-thread last error, folders, drives,
// disk space and code-page conversion. Contracts follow the Win32 calls of the
// same names; docs/platform.md says what each means on Linux.
#pragma once

#include "kdplatform/export.h"
#include "kdplatform/last_error.h"
#include "kdplatform/types.h"

#define LOAD_WITH_ALTERED_SEARCH_PATH 0x00000008u
#define GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT 0x00000002u
#define GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS 0x00000004u

#define DLL_PROCESS_DETACH 0u
#define DLL_PROCESS_ATTACH 1u

#define DRIVE_UNKNOWN 0u
#define DRIVE_NO_ROOT_DIR 1u
#define DRIVE_REMOVABLE 2u
#define DRIVE_FIXED 3u
#define DRIVE_REMOTE 4u
#define DRIVE_CDROM 5u
#define DRIVE_RAMDISK 6u

#define INVALID_FILE_ATTRIBUTES 0xFFFFFFFFu
#define FILE_ATTRIBUTE_READONLY 0x00000001u
#define FILE_ATTRIBUTE_DIRECTORY 0x00000010u
#define FILE_ATTRIBUTE_NORMAL 0x00000080u

// Types of registry values (the toolkit's registry keeps them).
#define REG_NONE 0u
#define REG_BINARY 3u
#define REG_DWORD 4u

#define CP_ACP 0u
#define CP_UTF8 65001u
#define MB_ERR_INVALID_CHARS 0x00000008u
#define WC_ERR_INVALID_CHARS 0x00000080u

// In namespace kdp, so that the process's global C names stay free for the
// system and for other libraries that imitate the same calls; code calls
// them by their plain names through the using-declarations below.
namespace kdp {

// Modules. HMODULE is the dynamic loader's handle. Module paths are matched
// ignoring letter case, as the Windows loader does, because callers lower-case
// them before use.
KDPLATFORM_API HMODULE WINAPI GetModuleHandleA(LPCSTR moduleName);
KDPLATFORM_API BOOL WINAPI GetModuleHandleExA(DWORD flags, LPCSTR moduleNameOrAddress, HMODULE* module);
KDPLATFORM_API HMODULE WINAPI LoadLibraryExA(LPCSTR fileName, HANDLE reserved, DWORD flags);
KDPLATFORM_API FARPROC WINAPI GetProcAddress(HMODULE module, LPCSTR procName);
KDPLATFORM_API BOOL WINAPI FreeLibrary(HMODULE module);
KDPLATFORM_API DWORD WINAPI GetModuleFileNameA(HMODULE module, LPSTR fileName, DWORD size);

// Files, folders, drives.
KDPLATFORM_API DWORD WINAPI GetCurrentDirectoryA(DWORD bufferLength, LPSTR buffer);
KDPLATFORM_API UINT WINAPI GetDriveTypeA(LPCSTR rootPathName);
KDPLATFORM_API BOOL WINAPI GetDiskFreeSpaceA(LPCSTR rootPathName, LPDWORD sectorsPerCluster, LPDWORD bytesPerSector,
                                             LPDWORD numberOfFreeClusters, LPDWORD totalNumberOfClusters);
KDPLATFORM_API DWORD WINAPI GetFileAttributesA(LPCSTR fileName);

// Code pages. On Linux the ANSI code page (CP_ACP) is UTF-8.
KDPLATFORM_API int WINAPI MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR multiByte, int multiByteLength,
                                              LPWSTR wide, int wideLength);
KDPLATFORM_API int WINAPI WideCharToMultiByte(UINT codePage, DWORD flags, LPCWSTR wide, int wideLength, LPSTR multiByte,
                                              int multiByteLength, LPCSTR defaultChar, BOOL* usedDefaultChar);

}  // namespace kdp

using kdp::FreeLibrary;
using kdp::GetCurrentDirectoryA;
using kdp::GetDiskFreeSpaceA;
using kdp::GetDriveTypeA;
using kdp::GetFileAttributesA;
using kdp::GetModuleFileNameA;
using kdp::GetModuleHandleA;
using kdp::GetModuleHandleExA;
using kdp::GetProcAddress;
using kdp::LoadLibraryExA;
using kdp::MultiByteToWideChar;
using kdp::WideCharToMultiByte;
