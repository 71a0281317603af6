// Run-time library functions (_splitpath, _makepath, _mbsicmp, _mbslwr_s,
// strcpy_s): the Microsoft C library's own, through MinGW's headers.
#pragma once

#include <mbstring.h>
#include <stdlib.h>
#include <string.h>
