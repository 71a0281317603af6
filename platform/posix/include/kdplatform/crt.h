// Run-time library functions of the Windows C library that have no Linux
// counterpart. Both '\' and '/' separate path components.
#pragma once

#include "kdplatform/export.h"
#include "kdplatform/types.h"

#include <cstddef>

using errno_t = int;

#define _MAX_PATH 260
#define _MAX_DRIVE 3
#define _MAX_DIR 256
#define _MAX_FNAME 256
#define _MAX_EXT 256

// What the comparison functions return for an invalid argument (errno EINVAL).
#define _NLSCMPERROR 0x7fffffff

// In namespace kdp, so that the process's global C names stay free for the
// system and for other libraries that imitate the same calls; code calls
// them by their plain names through the using-declarations below.
namespace kdp {

// Splits a path into drive ("X:"), directory (up to and including the last
// separator), file name and extension (from the last '.' of the final
// component). Any output may be null. The sizes-less form writes at most
// _MAX_DRIVE, _MAX_DIR, _MAX_FNAME and _MAX_EXT bytes (terminator included)
// and truncates longer parts; the _s form returns ERANGE and empties every
// output when a part does not fit.
KDPLATFORM_API void _splitpath(const char* path, char* drive, char* dir, char* fname, char* ext);
KDPLATFORM_API errno_t _splitpath_s(const char* path, char* drive, std::size_t driveSize, char* dir,
                                    std::size_t dirSize, char* fname, std::size_t fnameSize, char* ext,
                                    std::size_t extSize);
// Joins the parts; writes at most _MAX_PATH bytes (terminator included).
KDPLATFORM_API void _makepath(char* path, const char* drive, const char* dir, const char* fname, const char* ext);
KDPLATFORM_API errno_t _makepath_s(char* path, std::size_t size, const char* drive, const char* dir, const char* fname,
                                   const char* ext);

// Multibyte comparisons in the current code page (UTF-8 on Linux).
KDPLATFORM_API int _mbsicmp(const unsigned char* a, const unsigned char* b);
KDPLATFORM_API int _mbscmp(const unsigned char* a, const unsigned char* b);
// Lower-cases a zero-terminated string in place; EINVAL for a null string or
// a string without a terminator within size bytes.
KDPLATFORM_API errno_t _mbslwr_s(unsigned char* str, std::size_t size);
// Copies with a bound: ERANGE (and an empty destination) when src does not
// fit, EINVAL for null arguments or a zero size.
KDPLATFORM_API errno_t strcpy_s(char* dest, std::size_t destSize, const char* src);

}  // namespace kdp

using kdp::_makepath;
using kdp::_makepath_s;
using kdp::_mbscmp;
using kdp::_mbsicmp;
using kdp::_mbslwr_s;
using kdp::_splitpath;
using kdp::_splitpath_s;
using kdp::strcpy_s;
