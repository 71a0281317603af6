// COM basics the public API's interfaces need (GUIDs, IUnknown,
// IPersistFile): the system's headers.
#pragma once

#include <windows.h>
#include <objbase.h>

#include "kdplatform/com_iid.h"

KDP_DECLARE_IID(IUnknown, IID_IUnknown);
KDP_DECLARE_IID(IPersist, IID_IPersist);
KDP_DECLARE_IID(IPersistFile, IID_IPersistFile);
