#include "storage/fls_cartridge.h"

#include "kdplatform/native_path.h"
#include "storage/last_error_store.h"

#include <atomic>
#include <cstdio>
#include <string>
#include <unistd.h>

namespace keydepot {
namespace {

void Fail(int toolkitCode, DWORD win32Code) {
  SetLastErrorStore(toolkitCode);
  SetLastError(win32Code);
}

// A name for the temporary file beside path, unique within the machine for
// the life of this process.
std::string TemporaryNameFor(const std::string& path) {
  static std::atomic<unsigned> counter{0};
  return path + ".kdtmp-" + std::to_string(::getpid()) + "-" + std::to_string(counter++);
}

bool Rename(const std::string& from, const std::string& to) {
  std::string nativeFrom;
  std::string nativeTo;
  if (!kdp::ToNativePath(from.c_str(), &nativeFrom) || !kdp::ToNativePath(to.c_str(), &nativeTo)) return false;
  return std::rename(nativeFrom.c_str(), nativeTo.c_str()) == 0;
}

}  // namespace

bool FlsCartridge::Load(CertInfo* record) {
  if (!CTOOFile::IsExists(item.c_str())) {
    Fail(TOOERR_FILE_MISSING, ERROR_FILE_NOT_FOUND);
    return false;
  }
  CTOOFile file(item.c_str(), "rb", false);
  if (file.Status() != 0) {
    SetLastErrorStore(TOOERR_OPEN_FAILED);
    return false;
  }
  XTOOFile lengthStatus(false);
  const DWORD length = static_cast<DWORD>(CTOOFile::Length(item.c_str(), lengthStatus));
  *record->data = IdentObj(nullptr, length);
  const DWORD read = length ? static_cast<DWORD>(file.Read(record->data->pbData, length)) : 0;
  if (read != record->data->GetObjectSize()) {
    Fail(TOOERR_SHORT_READ, static_cast<DWORD>(CRYPT_E_FILE_ERROR));
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
          Fail(TOOERR_FOLDER_NOT_CREATED, static_cast<DWORD>(CRYPT_E_FILE_ERROR));
          return false;
        }
      }
    }
  }

  const DWORD room = GetSize(const_cast<CertInfo*>(record));
  const DWORD size = record->data->GetObjectSize();
  if (room < size) {
    SetLastErrorStore(TOOERR_NO_ROOM);
    return false;
  }

  const std::string temporary = TemporaryNameFor(item);
  DWORD written = 0;
  {
    CTOOFile file(temporary.c_str(), "wb", false);
    written = size ? static_cast<DWORD>(file.Write(record->data->pbData, size)) : 0;
  }
  if (written != size || !Rename(temporary, item)) {
    XTOOFile removeStatus(false);
    CTOOFile::Remove(temporary.c_str(), removeStatus);
    Fail(TOOERR_SHORT_WRITE, static_cast<DWORD>(CRYPT_E_FILE_ERROR));
    return false;
  }
  return true;
}

DWORD FlsCartridge::GetSize(CertInfo* /*record*/) {
  char drive[_MAX_DRIVE] = {};
  _splitpath(item.c_str(), drive, nullptr, nullptr, nullptr);
  if (drive[0] == '\0') {
    char current[MAX_PATH] = {};
    const DWORD length = GetCurrentDirectoryA(MAX_PATH, current);
    if (length > 0 && length < MAX_PATH) _splitpath(current, drive, nullptr, nullptr, nullptr);
  }
  std::string root;
  if (drive[0] != '\0') root = std::string(drive) + "\\";

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
