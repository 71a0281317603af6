// The factory that picks the storage back-end for a storage path.
#pragma once

#include "storage/cartridge.h"

#include <memory>
#include <string>

namespace keydepot {

// The back-end for path, or null when path is a device path that does not
// parse (the last-error store then holds WinErr2ToolsErr of the failure's low
// 16 bits). A device-type filter that cannot be opened throws `long`.
std::unique_ptr<Cartridge> CreateCartridge(const std::string& path);

}  // namespace keydepot
