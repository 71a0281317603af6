// Wide text to the ANSI code page: the one conversion the project's
// modules use for paths and strings that arrive wide (IPersistFile names,
// BSTRs). Any thread; leaves the thread's last error as the conversion set
// it.
#pragma once

#include "kdplatform/export.h"
#include "kdplatform/win32.h"

#include <string>

namespace kdp {

// Converts `length` wide characters of `wide` (-1: up to and without its
// terminating zero) into *ansi. 0, or the Win32 code of the failed
// conversion (characters the code page lacks become its default character,
// as WideCharToMultiByte does).
KDPLATFORM_API DWORD WideToAnsi(const wchar_t* wide, int length, std::string* ansi);

}  // namespace kdp
