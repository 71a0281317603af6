// COM basics (GUIDs, IUnknown, IPersistFile, BSTR) and the compiler's COM
// support classes _bstr_t and _com_error: the system's headers. MinGW ships
// no COM-support library, so what those classes call out of line
// (_com_issue_error, the string conversions) is this layer's
// (windows/com_support.cc).
#pragma once

#include "kdplatform/com_base.h"

#include <oleauto.h>
#include <comdef.h>
