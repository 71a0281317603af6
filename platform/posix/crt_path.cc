// Splitting and joining paths the way the Windows C library does. Both '\'
// and '/' separate components; the joiner writes KDP_PATH_SEPARATOR.
#include "kdplatform/win32.h"

#include <cerrno>
#include <cstring>
#include <string>
#include <string_view>

namespace {

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

struct PathParts {
  std::string_view drive, dir, fname, ext;
};

PathParts Split(std::string_view path) {
  PathParts parts;
  if (path.size() >= 2 && path[1] == ':') {
    parts.drive = path.substr(0, 2);
    path.remove_prefix(2);
  }
  const std::size_t lastSeparator = path.find_last_of("\\/");
  if (lastSeparator != std::string_view::npos) {
    parts.dir = path.substr(0, lastSeparator + 1);
    path.remove_prefix(lastSeparator + 1);
  }
  const std::size_t lastDot = path.rfind('.');
  if (lastDot != std::string_view::npos) {
    parts.ext = path.substr(lastDot);
    path = path.substr(0, lastDot);
  }
  parts.fname = path;
  return parts;
}

// Copies as much of part as fits in size bytes, terminator included.
void CopyTruncated(std::string_view part, char* out, std::size_t size) {
  if (!out || size == 0) return;
  const std::size_t n = part.size() < size - 1 ? part.size() : size - 1;
  if (n > 0) std::memcpy(out, part.data(), n);
  out[n] = '\0';
}

void Clear(char* out, std::size_t size) {
  if (out && size > 0) out[0] = '\0';
}

// A buffer and its size must be given together (both or neither).
bool Consistent(const char* out, std::size_t size) { return (out == nullptr) == (size == 0); }

}  // namespace

void kdp::_splitpath(const char* path, char* drive, char* dir, char* fname, char* ext) {
  const PathParts parts = path ? Split(path) : PathParts{};
  CopyTruncated(parts.drive, drive, _MAX_DRIVE);
  CopyTruncated(parts.dir, dir, _MAX_DIR);
  CopyTruncated(parts.fname, fname, _MAX_FNAME);
  CopyTruncated(parts.ext, ext, _MAX_EXT);
}

errno_t kdp::_splitpath_s(const char* path, char* drive, std::size_t driveSize, char* dir, std::size_t dirSize,
                          char* fname, std::size_t fnameSize, char* ext, std::size_t extSize) {
  auto clearAll = [&] {
    Clear(drive, driveSize);
    Clear(dir, dirSize);
    Clear(fname, fnameSize);
    Clear(ext, extSize);
  };
  if (!path || !Consistent(drive, driveSize) || !Consistent(dir, dirSize) || !Consistent(fname, fnameSize) ||
      !Consistent(ext, extSize)) {
    clearAll();
    return EINVAL;
  }
  const PathParts parts = Split(path);
  auto fits = [](std::string_view part, const char* out, std::size_t size) { return !out || part.size() < size; };
  if (!fits(parts.drive, drive, driveSize) || !fits(parts.dir, dir, dirSize) || !fits(parts.fname, fname, fnameSize) ||
      !fits(parts.ext, ext, extSize)) {
    clearAll();
    return ERANGE;
  }
  CopyTruncated(parts.drive, drive, driveSize);
  CopyTruncated(parts.dir, dir, dirSize);
  CopyTruncated(parts.fname, fname, fnameSize);
  CopyTruncated(parts.ext, ext, extSize);
  return 0;
}

errno_t kdp::_makepath_s(char* path, std::size_t size, const char* drive, const char* dir, const char* fname,
                         const char* ext) {
  if (!path || size == 0) return EINVAL;
  std::string joined;
  if (drive && *drive) {
    joined += drive;
    if (joined.back() != ':') joined += ':';
  }
  if (dir && *dir) {
    joined += dir;
    if (!IsSeparator(joined.back())) joined += KDP_PATH_SEPARATOR;
  }
  if (fname) joined += fname;
  if (ext && *ext) {
    if (*ext != '.') joined += '.';
    joined += ext;
  }
  if (joined.size() >= size) {
    path[0] = '\0';
    return ERANGE;
  }
  std::memcpy(path, joined.c_str(), joined.size() + 1);
  return 0;
}

// An over-long result leaves an empty path rather than a truncated one that
// would name a different file.
void kdp::_makepath(char* path, const char* drive, const char* dir, const char* fname, const char* ext) {
  (void)_makepath_s(path, _MAX_PATH, drive, dir, fname, ext);
}
