// Toolkit error codes and their conversions to and from Win32 codes and
// HRESULTs. docs/toolkit.md has the full table.
//
// One 32-bit code space (`int`), 0 = no error:
//   1 .. 0xFFFF          the toolkit's own codes (the TOOERR_ constants);
//   0x10001 .. 0x1FFFF   Win32 code w (1..0xFFFF, no own code) as 0x10000 + w;
//   negative             a failure HRESULT, bit pattern unchanged.
// Every own code has a Win32 counterpart (TOOERR_FILE_MISSING <->
// ERROR_FILE_NOT_FOUND, ...) and takes that Win32 code's place in the space.
//
// Guarantees:
//   - TooErr2WinErr(WinErr2ToolsErr(w)) == w for every DWORD w (the two are
//     inverse permutations of the 32-bit values; a full HRESULT bit pattern
//     passed as a Win32 code is kept as it is).
//   - TooErr2HResult(c) is S_OK for 0 and negative otherwise, and
//     HResult2ToolsErr(TooErr2HResult(c)) == c for every canonical code c: 0,
//     the own codes, 0x10000 + w for 16-bit w, and the negative codes other
//     than 0x8007xxxx (xxxx != 0), which are HRESULT_FROM_WIN32 results and
//     convert to the code of their Win32 error instead.
//   - HResult2ToolsErr(HRESULT_FROM_WIN32(w)) == WinErr2ToolsErr(w) for every
//     w <= 0xFFFF.
//   - TooErr2HResult(HResult2ToolsErr(h)) == h for every failure HRESULT h,
//     so a component's code can be recovered from a stored toolkit code.
// A success HRESULT (>= 0, S_FALSE included) converts to 0.
#pragma once

#include "kdplatform/api_types.h"
#include "tools2/export.h"

#include <string>

inline constexpr int TOOERR_OK = 0;
inline constexpr int TOOERR_FILE_MISSING = 4;               // <-> ERROR_FILE_NOT_FOUND (2)
inline constexpr int TOOERR_SHORT_READ = 5;                 // <-> ERROR_READ_FAULT (30)
inline constexpr int TOOERR_SHORT_WRITE = 6;                // <-> ERROR_WRITE_FAULT (29)
inline constexpr int TOOERR_NO_ROOM = 16;                   // <-> ERROR_DISK_FULL (112)
inline constexpr int TOOERR_OPEN_FAILED = 17;               // <-> ERROR_OPEN_FAILED (110)
inline constexpr int TOOERR_NO_SESSION = 42;                // <-> ERROR_NO_SUCH_LOGON_SESSION (1312)
inline constexpr int TOOERR_FOLDER_NOT_CREATED = 61;        // <-> ERROR_CANNOT_MAKE (82)
inline constexpr int TOOERR_NOT_OFFERED = 115;              // <-> ERROR_NOT_SUPPORTED (50)
inline constexpr int TOOERR_RECORD_READ_NOT_OFFERED = 117;  // <-> ERROR_CALL_NOT_IMPLEMENTED (120)

TOOLS2_API int WinErr2ToolsErr(DWORD winError) noexcept;
TOOLS2_API DWORD TooErr2WinErr(int toolsError) noexcept;
TOOLS2_API HRESULT TooErr2HResult(int toolsError) noexcept;
TOOLS2_API int HResult2ToolsErr(HRESULT hr) noexcept;

// A short English text for a toolkit code, e.g. "file missing",
// "Win32 error 5 (access denied)", "failure 0x80004005 (unspecified)".
TOOLS2_API std::string ToolsErrMessage(int toolsError);
