// Win32 scalar types, calling-convention markers and result macros, as the
// library and the component use them. On Linux `unsigned long` and `long` are
// 64 bits wide, so DWORD, ULONG, LONG and HRESULT are fixed 32-bit types here.
#pragma once

#include <cstddef>
#include <cstdint>

using BYTE = std::uint8_t;
using WORD = std::uint16_t;
using DWORD = std::uint32_t;
using ULONG = std::uint32_t;
using LONG = std::int32_t;
using UINT = unsigned int;
using INT = int;
using BOOL = std::int32_t;
using HRESULT = std::int32_t;
using ULONGLONG = std::uint64_t;
using SIZE_T = std::size_t;

using CHAR = char;
using LPSTR = char*;
using LPCSTR = const char*;
using WCHAR = wchar_t;
using LPWSTR = wchar_t*;
using LPCWSTR = const wchar_t*;
using LPVOID = void*;
using LPCVOID = const void*;
using LPDWORD = DWORD*;
using PULARGE_INTEGER = ULONGLONG*;

using HANDLE = void*;
using HMODULE = void*;
using HINSTANCE = void*;
using HWND = void*;
// A looked-up export. `void (*)()` converts to any function pointer type with
// reinterpret_cast without a cast-function-type warning.
using FARPROC = void (*)();

#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif

#define MAX_PATH 260

// Calling conventions mean nothing on x86-64 Linux; the markers stay in the
// code so that it reads the same on both systems.
#define WINAPI
#define CALLBACK
#define STDMETHODCALLTYPE
#define STDAPICALLTYPE

#define SUCCEEDED(hr) (static_cast<HRESULT>(hr) >= 0)
#define FAILED(hr) (static_cast<HRESULT>(hr) < 0)
#define FACILITY_WIN32 7
#define MAKE_HRESULT(sev, fac, code)                                                                       \
  static_cast<HRESULT>((static_cast<std::uint32_t>(sev) << 31) | (static_cast<std::uint32_t>(fac) << 16) | \
                       static_cast<std::uint32_t>(code))

// A positive Win32 code e becomes 0x80070000 | (e & 0xFFFF); zero and
// negative values are already results and stay unchanged.
constexpr HRESULT HRESULT_FROM_WIN32(long e) {
  return static_cast<HRESULT>(e) <= 0
             ? static_cast<HRESULT>(e)
             : static_cast<HRESULT>((static_cast<std::uint32_t>(e) & 0x0000FFFFu) | 0x80070000u);
}
#define HRESULT_CODE(hr) (static_cast<std::uint32_t>(hr) & 0xFFFFu)
