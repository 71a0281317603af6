// What the public API's signatures use: the system's own types, result type
// and result codes (kdplatform/api_types.h on Linux says what the API needs).
#pragma once

#include <windows.h>
