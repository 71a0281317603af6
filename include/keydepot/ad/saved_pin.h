// Saved device PINs: enciphered PINs kept in the machine-wide registry under
// "SOFTWARE\Maltrove\MTRVShared\AD\<identifier text of the device>" (values
// "SavePIN", a 32-bit number, and "PIN", raw bytes). The library never writes
// a PIN; it reads one and hands it to the caller's decipher function.
#pragma once

#include "keydepot/export.h"
#include "kdplatform/api_types.h"
#include "tools2/tools2.h"

namespace keydepot::ad {

// Deciphers enciphered into output (outputSize bytes), storing the PIN's
// length in *outputLength; returns a toolkit code (0 = success). The
// identifier text is not zero-terminated.
using PinDecipherFunction = int(WINAPI*)(unsigned char* output, DWORD outputSize, DWORD* outputLength,
                                         const unsigned char* enciphered, DWORD encipheredLength,
                                         const unsigned char* idText, DWORD idTextLength);

// The caller's deciphering code. Only decipher and outputSize are read.
struct PINCiphererCallBacks {
  DWORD reserved1;
  PinDecipherFunction decipher;
  DWORD reserved3;
  DWORD outputSize;  // bytes the library allocates for the deciphered PIN
};

// All three find the device in the session by path (E_INVALIDARG for a null
// or empty path, the lookup's code, e.g. 0x80070002, when it is not found)
// and name its key by the identifier text the device reports, so every path
// of one device shares one saved PIN. docs/pins.md lists every failure code.
// Out arguments are written only on success. None of them changes the
// thread's last error.

// Whether a PIN is saved for the device the path names ("SavePIN" != 0). A
// missing "SavePIN" is a failure, not "no": HRESULT_FROM_WIN32 of the
// registry's error. A key that cannot be opened gives TooErr2HResult of the
// registry error's code.
KEYDEPOT_API HRESULT IsPinSaved(DWORD session, const char* devicePath, bool& saved);
// Reads and deciphers the saved PIN, whatever "SavePIN" says. Registry and
// decipher failures come back as HRESULT_FROM_WIN32 of the Win32 code (for a
// decipher failure c: of TooErr2WinErr(c)). A deciphered PIN of 261 bytes or
// more, or longer than callbacks.outputSize, is refused with
// HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER); a null decipher function with
// HRESULT_FROM_WIN32(ERROR_INVALID_PARAMETER). The PIN ends at its first zero
// byte. Every buffer that held the PIN, enciphered or not, is wiped.
KEYDEPOT_API HRESULT GetDevicePIN(DWORD session, const char* devicePath, const PINCiphererCallBacks& callbacks,
                                  CTOOString& pin);
// Removes the saved PIN ("PIN" deleted, "SavePIN" set to 0); a missing "PIN"
// is not an error, a missing key is (TooErr2HResult of its code).
KEYDEPOT_API HRESULT RemoveSavedPin(DWORD session, const char* devicePath);
// Produces no random numbers: always false, with 115 (operation not offered)
// for KDPGetLastError.
KEYDEPOT_API bool GetRandom(DWORD session, DWORD value, unsigned char* buffer, DWORD length);

}  // namespace keydepot::ad
