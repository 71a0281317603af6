// What the public API's signatures use: the Win32 scalar types, the result
// type HRESULT, the calling-convention markers and the result codes the
// library and the component return. Nothing more of the Windows vocabulary:
// an application that wants it includes <keydepot/win32_compat.h>.
// On Linux `unsigned long` and `long` are 64 bits wide, so DWORD, ULONG, LONG
// and HRESULT are fixed 32-bit types here.
#pragma once

#include <cstdint>  // also std::size_t, without <cstddef>'s macros

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

// Calling conventions mean nothing on x86-64 Linux; the markers stay in the
// code so that it reads the same on both systems.
#define WINAPI
#define STDMETHODCALLTYPE
#define STDAPICALLTYPE

// A positive Win32 code e becomes 0x80070000 | (e & 0xFFFF); zero and
// negative values are already results and stay unchanged.
constexpr HRESULT HRESULT_FROM_WIN32(long e) {
  return static_cast<HRESULT>(e) <= 0
             ? static_cast<HRESULT>(e)
             : static_cast<HRESULT>((static_cast<std::uint32_t>(e) & 0x0000FFFFu) | 0x80070000u);
}

// The result codes the library and the component return (docs/library.md).
#define KDP_HR(v) static_cast<HRESULT>(static_cast<std::uint32_t>(v))

#define S_OK KDP_HR(0x00000000u)
#define S_FALSE KDP_HR(0x00000001u)
#define E_NOTIMPL KDP_HR(0x80004001u)
#define E_NOINTERFACE KDP_HR(0x80004002u)
#define E_POINTER KDP_HR(0x80004003u)
#define E_ABORT KDP_HR(0x80004004u)
#define E_FAIL KDP_HR(0x80004005u)
#define E_UNEXPECTED KDP_HR(0x8000FFFFu)
#define E_ACCESSDENIED KDP_HR(0x80070005u)
#define E_HANDLE KDP_HR(0x80070006u)
#define E_OUTOFMEMORY KDP_HR(0x8007000Eu)
#define E_INVALIDARG KDP_HR(0x80070057u)
#define CLASS_E_CLASSNOTAVAILABLE KDP_HR(0x80040111u)
#define CLASS_E_NOAGGREGATION KDP_HR(0x80040110u)
#define CONNECT_E_NOCONNECTION KDP_HR(0x80040200u)
#define STG_E_FILENOTFOUND KDP_HR(0x80030002u)
#define STG_E_ACCESSDENIED KDP_HR(0x80030005u)
#define CRYPT_E_FILE_ERROR KDP_HR(0x80092003u)
