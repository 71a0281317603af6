#include "file_diagnosis.h"

#include "byte_io.h"

#include <kdplatform/file_io.h>
#include <kdplatform/file_names.h>
#include <kdplatform/native_path.h>
#include <kdplatform/win32.h>

#include <cctype>

namespace kdcli {

namespace {

constexpr std::size_t kMaxName = 255;  // bytes in one name (NAME_MAX)
// Native paths: Windows takes both; Linux's have no '\\' (kdp::ToNativePath).
constexpr const char* kSeparators = "/\\";

std::optional<Failure> UnmappedDrive(const std::string& file) {
  if (file.size() < 2 || file[1] != ':' || !std::isalpha(static_cast<unsigned char>(file[0]))) return std::nullopt;
  const std::string drive = file.substr(0, 2);
  if (GetDriveTypeA((drive + "\\").c_str()) != DRIVE_NO_ROOT_DIR) return std::nullopt;
  std::string message =
      "'" + file + "' begins with the drive letter " + drive + ", and no drive " + drive + " is mapped";
  // Where '/' separates names (Linux, whose drives are a map of folders), ':'
  // is a name's own character.
  if (KDP_PATH_SEPARATOR == '/') {
    message +=
        " (KEYDEPOT_DRIVES, docs/platform.md); write ./" + file + " for a file of that name in the current folder";
  }
  return Failure(kBadPath, message);
}

std::optional<Failure> NameTooLong(const std::string& native) {
  std::size_t start = 0;
  while (start <= native.size()) {
    std::size_t end = native.find_first_of(kSeparators, start);
    if (end == std::string::npos) end = native.size();
    if (end - start > kMaxName) {
      return Failure(kBadPath, "a name in " + native + " is " + std::to_string(end - start) +
                                   " bytes long; a name may have at most " + std::to_string(kMaxName));
    }
    start = end + 1;
  }
  return std::nullopt;
}

std::string Parent(const std::string& native) {
  const std::size_t slash = native.find_last_of(kSeparators);
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : native.substr(0, slash);
}

Failure Denied(const std::string& doing, DWORD error) {
  return Failure(kLocalIo, "this user may not " + doing + ": " + DescribeHresult(HRESULT_FROM_WIN32(error)));
}

}  // namespace

std::optional<Failure> ExplainLocalSave(const std::string& native) {
  // Another user's link or file in a folder others can write: the save's
  // own rule, in its own words.
  if (const std::string why = kdp::SaveRefusal(native); !why.empty()) {
    return Failure(kLocalIo, why + "; the save was refused, so that no other user can redirect it or take the bytes");
  }
  const LocalEntry entry = Inspect(native);
  if (entry.folder) {
    return Failure(kBadPath,
                   native + " is a folder; name a file in it, such as " + native + KDP_PATH_SEPARATOR + "item.pem");
  }
  // The folder that holds the file, or the nearest one above it that exists
  // when the library would have to create the rest.
  std::string folder = Parent(native);
  bool created = false;
  while (!Inspect(folder).exists && folder != "/" && folder != ".") {
    folder = Parent(folder);
    created = true;
  }
  if (!Inspect(folder).folder) {
    return Failure(kBadPath, folder + " is a file, so " + native + " cannot be made below it");
  }
  if (const DWORD error = kdp::CheckAccess(folder, kdp::AccessCheck::kChangeFolder)) {
    return Denied((created ? "create folders in " : "write in the folder ") + folder, error);
  }
  if (const DWORD error = entry.exists ? kdp::CheckAccess(native, kdp::AccessCheck::kWriteFile) : 0) {
    return Denied("overwrite " + native, error);
  }
  return std::nullopt;
}

std::optional<Failure> ExplainFileFailure(const std::string& file, FileOp op) {
  if (auto drive = UnmappedDrive(file)) return drive;
  std::string native;
  kdp::ToNativePath(file.c_str(), &native);
  if (auto tooLong = NameTooLong(native)) return tooLong;
  if (op == FileOp::kSave) return ExplainLocalSave(native);
  const LocalEntry entry = Inspect(native);
  if (op == FileOp::kLoad) {
    if (entry.folder)
      return Failure(kBadPath, native + " is a folder, not an item; keydepot list " + file + " shows the items in it");
    if (entry.exists && entry.size > 0xFFFFFFFFull) {
      return Failure(kFailed, native + " is " + std::to_string(entry.size) +
                                  " bytes; an item must be smaller than 4 GiB (4294967296 bytes)");
    }
    if (const DWORD error = entry.exists ? kdp::CheckAccess(native, kdp::AccessCheck::kRead) : 0)
      return Denied("read " + native, error);
    return std::nullopt;
  }
  if (entry.folder) return Failure(kBadPath, native + " is a folder; delete removes one item, a file");
  if (const DWORD error = entry.exists ? kdp::CheckAccess(Parent(native), kdp::AccessCheck::kChangeFolder) : 0) {
    return Denied("remove files in the folder " + Parent(native), error);
  }
  return std::nullopt;
}

}  // namespace kdcli
