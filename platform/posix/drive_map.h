// The drive letters of this platform: a mapping from letters to folders with
// a drive type, read from the environment variable KEYDEPOT_DRIVES on every
// use, for example "C=/srv/c;E=/media/usb,removable;N=/mnt/share,remote".
// Types: fixed (the default), removable, remote, cdrom, ramdisk. A letter
// that is not mapped has no root.
#pragma once

#include "kdplatform/types.h"

#include <optional>
#include <string>

namespace kdp::detail {

struct MappedDrive {
  std::string folder;
  UINT type;  // DRIVE_FIXED, DRIVE_REMOVABLE, ...
};

// The mapping of `letter` (either case); nothing when it is not mapped.
std::optional<MappedDrive> LookUpDrive(char letter);

// True when path begins with a drive designator: a letter and ':'.
bool HasDriveLetter(const char* path) noexcept;

}  // namespace kdp::detail
