// Result and error codes: the system's own.
#pragma once

#include <windows.h>
#include <winerror.h>
