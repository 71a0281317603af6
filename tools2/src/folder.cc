#include "tools2/folder.h"

#include "tools2/errors.h"

#include <kdplatform/file_io.h>
#include <kdplatform/native_path.h>

#include <string>

bool CTOOFolder::Create(const char* path, XTOOStatus& status) {
  std::string native;
  if (path == nullptr || *path == '\0' || !kdp::ToNativePath(path, &native) ||
      kdp::CreateFolderPath(native, kdp::Access::kShared) != 0) {
    status.SetError(TOOERR_FOLDER_NOT_CREATED);
    return false;
  }
  return true;
}
