// The file-I/O layer's types that the toolkit's public classes hold: an
// owning file handle and what the system says of a file. The calls are in
// kdplatform/file_io.h, which is not installed.
#pragma once

#include "kdplatform/api_types.h"
#include "kdplatform/export.h"

#include <cstdint>

namespace kdp {

// The system's handle of an open file (a descriptor on POSIX systems).
using NativeFile = std::intptr_t;
inline constexpr NativeFile kNoFile = -1;

// Owns one open file and closes it when destroyed. Move-only.
class KDPLATFORM_API FileHandle {
 public:
  FileHandle() noexcept = default;
  // Takes ownership of `file` (kNoFile for none).
  explicit FileHandle(NativeFile file) noexcept : file_(file) {}
  FileHandle(FileHandle&& other) noexcept : file_(other.Release()) {}
  FileHandle& operator=(FileHandle&& other) noexcept;
  FileHandle(const FileHandle&) = delete;
  FileHandle& operator=(const FileHandle&) = delete;
  ~FileHandle() { Close(); }

  bool IsOpen() const noexcept { return file_ != kNoFile; }
  NativeFile Get() const noexcept { return file_; }
  // Gives up ownership; the caller closes the file.
  NativeFile Release() noexcept;
  // Closes now (a no-op without a file); a failed close can mean that
  // written bytes were lost, so writers check it.
  DWORD Close() noexcept;

 private:
  NativeFile file_ = kNoFile;
};

// One state of a file as the system records it: which file it is and when
// its content or its entry last changed. Two versions read from one path are
// equal when it is the same file with no change recorded in between; but a
// change within the clock's granularity of the previous one may leave the
// version as it was, so only a settled version (below) proves that nothing
// changed. All zero where the system keeps no such record.
struct FileVersion {
  std::uint64_t device = 0;
  std::uint64_t node = 0;
  std::uint64_t size = 0;
  std::int64_t modified = 0;  // content, nanoseconds since 1970
  std::int64_t changed = 0;   // content or entry (permissions, links), likewise
  // Written out, not defaulted: installed headers are C++17.
  bool operator==(const FileVersion& other) const {
    return device == other.device && node == other.node && size == other.size && modified == other.modified &&
           changed == other.changed;
  }
  bool operator!=(const FileVersion& other) const { return !(*this == other); }
};

enum class FileKind { kFile, kFolder, kOther };  // kOther: device, FIFO, socket
struct FileInfo {
  FileKind kind = FileKind::kOther;
  std::uint64_t size = 0;  // bytes, for kFile
  // Whether users other than the owner may read it (group or others'
  // read permission); false where the system keeps no such bits.
  bool othersMayRead = false;
  FileVersion version;
};

}  // namespace kdp
