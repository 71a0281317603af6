// Whole-file saves on Windows: a temporary file beside the target, flushed
// and renamed over it with MOVEFILE_WRITE_THROUGH (which returns once the
// rename is on the disk). The new file is the caller's, with the access list
// it was created with (owner-only for a save): the replaced file's list is
// never carried over, since it could give others a key.
//
// SaveFile looks at each name once, through a handle that does not follow
// reparse points, judges what that handle names and writes in place only
// through it. Links are resolved here one at a time so that each is judged:
// in a folder others may change, a link is followed only when it is the
// caller's (or the system's, or the folder owner's), and a file is written or
// replaced only when it is the caller's or the system's.
#include "kdplatform/errors.h"
#include "kdplatform/file_io.h"
#include "kdplatform/security.h"
#include "kdplatform/win32.h"

#include "../system_seam.h"
#include "../temporary_name.h"
#include "../save_steps.h"
#include "../folders.h"
#include "entries.h"

#include <cstdint>
#include <string>

namespace kdp {
namespace {

constexpr int kMaxLinks = 40;  // as a POSIX kernel follows them

HANDLE Handle(NativeFile file) { return reinterpret_cast<HANDLE>(file); }

// Removes what saves killed outright left in `folder`: temporary files that
// are the caller's own (never a reparse point) and old enough that no live
// save is writing them. Best effort.
void RemoveStaleTemporaries(const std::string& folder) {
  DWORD sidError = 0;
  const std::string callerText = CallerSidText(&sidError);
  if (callerText.empty()) return;
  const SidFromText caller(callerText);
  WIN32_FIND_DATAA found;
  const HANDLE search = FindFirstFileA(detail::JoinPath(folder, ".kdtmp-*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return;
  do {
    if (!IsTemporaryFileName(found.cFileName) ||
        (found.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) != 0) {
      continue;
    }
    // FILETIME: 100-nanosecond steps since 1601.
    const ULONGLONG written =
        (static_cast<ULONGLONG>(found.ftLastWriteTime.dwHighDateTime) << 32) | found.ftLastWriteTime.dwLowDateTime;
    const std::int64_t modified = (static_cast<std::int64_t>(written) - 116444736000000000ll) * 100;
    if (!detail::IsStaleTemporary(modified)) continue;
    // Judged and removed through one handle that follows nothing, so the
    // file whose owner was checked is the one removed.
    FileHandle entry;
    if (detail::OpenEntry(detail::JoinPath(folder, found.cFileName), READ_CONTROL | DELETE, &entry) != 0) continue;
    detail::Descriptor descriptor;
    if (descriptor.Read(entry.Get()) != 0 || !descriptor.owner() || !EqualSid(descriptor.owner(), caller.get())) {
      continue;
    }
    FILE_DISPOSITION_INFO disposition{};
    disposition.DeleteFile = TRUE;
    SetFileInformationByHandle(Handle(entry.Get()), FileDispositionInfo, &disposition, sizeof disposition);
  } while (FindNextFileA(search, &found));
  FindClose(search);
}

// The temporary file beside `target`, removed unless it was renamed.
class TemporaryFile {
 public:
  explicit TemporaryFile(const std::string& target) : folder_(detail::ParentOf(target)) {}
  ~TemporaryFile() {
    if (!path_.empty()) DeleteFileA(path_.c_str());
  }
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;

  // A new file with a random name, tracked for RemoveTemporaryFilesInFlight.
  DWORD Create(Access access) {
    RemoveStaleTemporaries(folder_);
    const DWORD error = detail::CreateTemporaryFile(folder_, access, &file_, &path_);
    if (error == 0) tracked_.Track(kNoFile, path_);
    return error;
  }

  DWORD Fill(const void* data, std::size_t size) { return detail::WriteSyncClose(&file_, data, size); }

  // Replaces the entry `target` names, whatever it is by now: nothing of
  // it is followed, kept or written.
  DWORD Commit(const std::string& target) {
    if (const DWORD error = detail::RunFileStep(detail::FileStep::kRename, [&]() -> DWORD {
          return MoveFileExA(path_.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)
                     ? 0
                     : GetLastError();
        })) {
      return error;
    }
    path_.clear();
    return SyncFolder(folder_);
  }

 private:
  std::string folder_;
  std::string path_;
  FileHandle file_;
  detail::TrackedTemporary tracked_;
};

DWORD Replace(const std::string& target, const void* data, std::size_t size, Access access) {
  TemporaryFile temporary(target);
  if (const DWORD error = temporary.Create(access)) return error;
  if (const DWORD error = temporary.Fill(data, size)) return error;
  return temporary.Commit(target);
}

// Truncates the open file and writes the bytes through the same handle. Not
// crash-safe.
DWORD WriteInto(FileHandle* file, const void* data, std::size_t size) {
  const HANDLE handle = Handle(file->Get());
  if (GetFileType(handle) == FILE_TYPE_DISK && !SetEndOfFile(handle)) return GetLastError();
  return detail::WriteSyncClose(file, data, size);
}

// How the folder that holds `path` stands: whether users other than the
// caller and the system's may change its entries, and its owner.
class Folder {
 public:
  DWORD Read(const std::string& path, PSID caller) {
    if (const DWORD error = descriptor_.Read(detail::ParentOf(path))) return error;
    shared_ = OthersMayChange(ExposureOf(descriptor_.get(), caller));
    return 0;
  }
  bool shared() const { return shared_; }
  PSID owner() const { return descriptor_.owner(); }

 private:
  detail::Descriptor descriptor_;
  bool shared_ = false;
};

// Whether the entry open as `entry` is another user's (not the caller's, the
// system's or, when `alsoTrusted` is given, that user's).
DWORD IsOtherUsers(NativeFile entry, PSID caller, PSID alsoTrusted, bool* other) {
  FileHandle readable;
  if (const DWORD error = detail::ReopenEntry(entry, READ_CONTROL, &readable)) return error;
  detail::Descriptor descriptor;
  if (const DWORD error = descriptor.Read(readable.Get())) return error;
  *other = ExposureOf(descriptor.get(), caller).ownedByOther &&
           !(alsoTrusted && descriptor.owner() && EqualSid(alsoTrusted, descriptor.owner()));
  return 0;
}

// What SaveFile was asked to write; `data` null only to judge (SaveRefusal),
// in which case nothing is written and `why` explains a refusal.
struct Request {
  const void* data = nullptr;
  std::size_t size = 0;
  std::string* why = nullptr;
  bool judgeOnly() const { return why != nullptr; }
};

DWORD Refuse(const Request& request, const std::string& reason) {
  if (request.why) *request.why = reason;
  return ERROR_ACCESS_DENIED;
}

// Saves over the file open as `entry` at `path` (no link, no device).
DWORD SaveOver(FileHandle entry, const std::string& path, PSID caller, const Request& request) {
  const void* data = request.data;
  const std::size_t size = request.size;
  BY_HANDLE_FILE_INFORMATION info{};
  if (!GetFileInformationByHandle(Handle(entry.Get()), &info)) return GetLastError();
  // A folder, and a read-only file, which Windows refuses to write even to
  // administrators.
  if (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY)) return ERROR_ACCESS_DENIED;
  Folder folder;
  if (const DWORD error = folder.Read(path, caller)) return error;
  if (folder.shared()) {
    // Another user's file in a folder others may change: what is written
    // into it, or replaces it, would be theirs to read.
    bool other = true;
    if (const DWORD error = IsOtherUsers(entry.Get(), caller, nullptr, &other)) return error;
    if (other) {
      return Refuse(
          request, path + " is another user's file in " + detail::ParentOf(path) + ", a folder other users can change");
    }
  }
  if (request.judgeOnly()) return 0;
  // A file whose access list denies writing is refused here.
  FileHandle writer;
  if (const DWORD error = detail::ReopenEntry(entry.Get(), GENERIC_WRITE, &writer)) return error;
  if (info.nNumberOfLinks > 1) return WriteInto(&writer, data, size);
  // A folder the caller may not add to, or a file it may not remove: write
  // as the file's own writer would, into the file judged above.
  TemporaryFile temporary(path);
  DWORD error = temporary.Create(Access::kOwnerOnly);
  FileHandle remover;
  if (error == 0) error = detail::ReopenEntry(entry.Get(), DELETE, &remover);
  if (error == ERROR_ACCESS_DENIED) return WriteInto(&writer, data, size);
  if (error == 0) error = temporary.Fill(data, size);
  if (error != 0) return error;
  // The rename cannot replace a file that is open, even by this process.
  // Whatever the name holds by then is replaced, never followed or kept.
  remover.Close();
  writer.Close();
  entry.Close();
  return temporary.Commit(path);
}

}  // namespace

void detail::RemoveTrackedFile(NativeFile /*folder*/, const char* name) noexcept {
  // The save's own handle shares deletion: the file goes when it is closed.
  DeleteFileA(name);
}

namespace {

DWORD Save(const std::string& path, const Request& request) {
  DWORD sidError = 0;
  const std::string callerText = CallerSidText(&sidError);
  if (callerText.empty()) return sidError;
  const SidFromText caller(callerText);
  std::string current = path;
  for (int links = 0;; ++links) {
    FileHandle entry;
    const DWORD error = detail::OpenEntry(current, FILE_READ_ATTRIBUTES, &entry);
    // Nothing there yet (also where a link leads nowhere yet): a new file.
    if (error == ERROR_FILE_NOT_FOUND) {
      return request.judgeOnly() ? 0 : Replace(current, request.data, request.size, Access::kOwnerOnly);
    }
    if (error != 0) return error;
    // Devices (NUL, COM1) are written, never replaced by a file.
    if (GetFileType(Handle(entry.Get())) != FILE_TYPE_DISK) {
      return request.judgeOnly() ? 0 : detail::WriteInPlace(current, request.data, request.size);
    }
    DWORD tag = 0;
    if (const DWORD tagError = detail::ReparseTagOf(entry.Get(), &tag)) return tagError;
    if (!detail::IsLinkTag(tag)) return SaveOver(std::move(entry), current, caller.get(), request);
    if (links == kMaxLinks) return ERROR_CANT_RESOLVE_FILENAME;
    Folder folder;
    if (const DWORD folderError = folder.Read(current, caller.get())) return folderError;
    if (folder.shared()) {
      bool other = true;
      if (const DWORD ownerError = IsOtherUsers(entry.Get(), caller.get(), folder.owner(), &other)) return ownerError;
      if (other) {
        return Refuse(request, current + " is a link owned by another user in " + detail::ParentOf(current) +
                                   ", a folder other users can change");
      }
    }
    std::string next;
    if (const DWORD linkError = detail::LinkTarget(entry.Get(), current, &next)) return linkError;
    current = std::move(next);
  }
}

}  // namespace

DWORD ReplaceFileAtomically(const std::string& target, const void* data, std::size_t size, Access access) {
  return Replace(target, data, size, access);
}

DWORD SaveFile(const std::string& path, const void* data, std::size_t size) {
  Request request;
  request.data = data;
  request.size = size;
  return Save(path, request);
}

std::string SaveRefusal(const std::string& path) {
  std::string why;
  Request request;
  request.why = &why;
  Save(path, request);
  return why;
}

}  // namespace kdp
