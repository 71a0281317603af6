// Translation of the Windows-style paths callers write (drive letters, '\'
// separators) into the paths the Linux file system understands. Code that
// opens, creates, removes or inspects a file or folder passes its path through
// here first; on Windows it is the identity.
#pragma once

#include "kdplatform/export.h"

#include <string>

namespace kdp {

// "X:rest" becomes the folder mapped to drive X (docs/platform.md) followed by
// rest; every '\' becomes '/'. Returns false, leaving *native untouched, when
// the path names a drive letter that is not mapped (the drive has no root).
KDPLATFORM_API bool ToNativePath(const char* path, std::string* native);

}  // namespace kdp
