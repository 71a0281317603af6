// CTOOFolder: folder creation.
#pragma once

#include "tools2/export.h"
#include "tools2/status.h"

class TOOLS2_API CTOOFolder {
 public:
  // Creates the folder `path` (Windows-style, see tools2/file.h) and any
  // missing parents, with the default permissions less the process umask
  // (on Windows: what the parent passes on). Folders in the machine's shared
  // application-data folder are made readable by every user and writable by
  // their maker only (0755; on Windows SYSTEM, Administrators and the maker,
  // with Users reading), whatever the umask or the parent.
  // True when the folder exists afterwards (also when it already existed).
  // On failure records TOOERR_FOLDER_NOT_CREATED in `status` and returns
  // false; folders made before the failing step are left in place.
  static bool Create(const char* path, XTOOStatus& status);
};
