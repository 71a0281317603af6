// Listing the key containers on devices. Both functions append to the
// caller's list in the order of discovery and never clear or reorder it.
#pragma once

#include "keydepot/ad/component.h"
#include "keydepot/export.h"

#include <list>
#include <string>

namespace keydepot::ad {

// Every container of one device: through IAD_CryptoDevice when it offers it,
// else IAD_KeyStorage (whose "default" entry is listed like any other).
// E_INVALIDARG for a null device, E_NOINTERFACE when it offers neither.
KEYDEPOT_API HRESULT GetDeviceContainerNames(IAD_Device* device, std::list<std::string>& names);

// The containers that location names on the session's devices (location: a
// device path, "\\!\<type name>\<identifier text>\<container>",
// "\\.\<device name>\<container>", a bare container name, or null/empty for
// all devices). Without a container in the location each device's own
// default container is listed when it exists (unless skipDefault), else all
// of its containers. With fullPaths each entry is the container's device
// path. Returns the last success result; 0x00040301 when a device or a
// container was skipped after an error and nothing succeeded after it.
KEYDEPOT_API HRESULT GetADContainerNames(DWORD session, const char* location, std::list<std::string>& names,
                                         bool fullPaths, bool skipDefault);

}  // namespace keydepot::ad
