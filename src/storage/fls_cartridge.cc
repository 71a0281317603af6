#include "storage/fls_cartridge.h"

#include "kdplatform/file_io.h"
#include "kdplatform/native_path.h"
#include "last_error.h"

#include <string>

namespace keydepot {
namespace {

// The path itself when it is a folder (a mount point is measured as
// itself, not as its parent's file system), else the folder that holds it
// or, when that is missing, its nearest existing ancestor (a folder a save
// would create lies on that one's file system). Empty when none is named:
// the current folder.
std::string ExistingFolderOf(const std::string& path) {
  std::string folder = path;
  while (!folder.empty()) {
    XTOOFile status(false);
    if ((CTOOFile::Attributes(folder.c_str(), status) & FILE_ATTRIBUTE_DIRECTORY) != 0) return folder;
    // Drop the last component, keeping the separator before it.
    std::size_t end = folder.find_last_not_of("\\/");
    if (end == std::string::npos) break;
    const std::size_t separator = folder.find_last_of("\\/", end);
    if (separator == std::string::npos) {
      // "X:name": the drive's root; a relative name: the current folder.
      return folder.size() >= 2 && folder[1] == ':' ? folder.substr(0, 2) + "\\" : std::string();
    }
    folder.resize(separator + 1);
  }
  return path;
}

}  // namespace

bool FlsCartridge::Load(CertInfo* record) {
  // Opened first: only a failed open needs to ask whether the file exists,
  // and the length comes from the open file.
  CTOOFile file(item.c_str(), "rb", false);
  if (file.Status() != 0) {
    if (!CTOOFile::IsExists(item.c_str())) {
      detail::FailWith(TOOERR_FILE_MISSING, ERROR_FILE_NOT_FOUND);
    } else {
      detail::SetLastErrorStore(TOOERR_OPEN_FAILED);
    }
    return false;
  }
  XTOOFile lengthStatus(false);
  const DWORD length = file.Length(lengthStatus);
  if (lengthStatus.IsError()) {
    // A file too large for a 32-bit item is never read in part.
    if (lengthStatus.Status() == WinErr2ToolsErr(ERROR_FILE_TOO_LARGE)) {
      detail::FailWith(TOOERR_SHORT_READ, static_cast<DWORD>(CRYPT_E_FILE_ERROR));
    } else {
      detail::SetLastErrorStore(TOOERR_OPEN_FAILED);
    }
    return false;
  }
  // Read straight into the caller's buffer when it has room: no new block
  // to fill, no old one to wipe.
  record->data->Resize(length);
  const DWORD read = length ? static_cast<DWORD>(file.Read(record->data->pbData, length)) : 0;
  if (read != length) {
    // What was not read must not show the item that was there before.
    SecureZeroMemory(record->data->pbData + read, length - read);
    detail::FailWith(TOOERR_SHORT_READ, static_cast<DWORD>(CRYPT_E_FILE_ERROR));
    return false;
  }
  return true;
}

bool FlsCartridge::Save(const CertInfo* record) {
  if (!location.empty()) {
    char directory[_MAX_DIR] = {};
    _splitpath(location.c_str(), nullptr, directory, nullptr, nullptr);
    if (!CTOOFile::IsExists(location.c_str())) {
      std::string folderPart = directory;
      if (!folderPart.empty() && (folderPart.back() == '/' || folderPart.back() == '\\')) folderPart.pop_back();
      if (!folderPart.empty()) {
        XTOOStatus status(0, false);
        if (!CTOOFolder::Create(location.c_str(), status)) {
          detail::FailWith(TOOERR_FOLDER_NOT_CREATED, static_cast<DWORD>(CRYPT_E_FILE_ERROR));
          return false;
        }
      }
    }
  }

  const DWORD room = GetSize(const_cast<CertInfo*>(record));
  const DWORD size = record->data->GetObjectSize();
  if (room < size) {
    detail::SetLastErrorStore(TOOERR_NO_ROOM);
    return false;
  }

  std::string native;
  if (!kdp::ToNativePath(item.c_str(), &native) || kdp::SaveFile(native, record->data->pbData, size) != 0) {
    detail::FailWith(TOOERR_SHORT_WRITE, static_cast<DWORD>(CRYPT_E_FILE_ERROR));
    return false;
  }
  return true;
}

DWORD FlsCartridge::GetSize(CertInfo* /*record*/) {
  // Any folder is a root for GetDiskFreeSpaceA; the item's own folder is
  // the one whose file system counts (a mounted drive, a share).
  std::string root = ExistingFolderOf(item);
  if (!root.empty() && root.back() != '\\' && root.back() != '/') root += '\\';

  DWORD sectorsPerCluster = 0;
  DWORD bytesPerSector = 0;
  DWORD freeClusters = 0;
  DWORD totalClusters = 0;
  if (!GetDiskFreeSpaceA(root.empty() ? nullptr : root.c_str(), &sectorsPerCluster, &bytesPerSector, &freeClusters,
                         &totalClusters))
    return 0;
  // 4 GiB or more do not fit the 32-bit result: report the largest value, so
  // that no item (whose size is itself 32-bit) is refused for lack of room.
  const ULONGLONG bytes = static_cast<ULONGLONG>(sectorsPerCluster) * bytesPerSector * freeClusters;
  return bytes > 0xFFFFFFFFull ? 0xFFFFFFFFu : static_cast<DWORD>(bytes);
}

bool FlsCartridge::IsExist(const CertInfo* /*record*/) { return CTOOFile::IsExists(item.c_str()); }

bool FlsCartridge::Clear(const CertInfo* /*record*/) {
  if (!CTOOFile::IsExists(item.c_str())) return true;
  XTOOFile status(false);
  return CTOOFile::Remove(item.c_str(), status) == 0;
}

}  // namespace keydepot
