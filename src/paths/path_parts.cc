#include "paths/path_parts.h"

#include "kdplatform/file_io.h"
#include "kdplatform/native_path.h"

namespace keydepot {

ContainerAndSubName CutSubName(const std::string& container) {
  const size_t at = container.find(kSubNameSeparator);
  if (at == std::string::npos) return {container, std::string()};
  return {container.substr(0, at), container.substr(at + 2)};
}

FileSystemParts SplitFileSystemPath(const std::string& path) {
  FileSystemParts parts;
  std::string rest = path;
  if (rest.size() >= 2 && rest[1] == ':') {
    parts.drive = rest.substr(0, 2);
    rest.erase(0, 2);
  }
  const size_t lastSeparator = rest.find_last_of("\\/");
  if (lastSeparator != std::string::npos) {
    parts.directory = rest.substr(0, lastSeparator + 1);
    rest.erase(0, lastSeparator + 1);
  }
  const size_t dot = rest.rfind('.');
  if (dot != std::string::npos) {
    parts.extension = rest.substr(dot);
    rest.erase(dot);
  }
  parts.fileName = std::move(rest);
  return parts;
}

PathStatus QueryPathStatus(const std::string& path) {
  PathStatus status;
  std::string native;
  if (path.empty() || !kdp::ToNativePath(path.c_str(), &native)) return status;  // an unmapped drive has no files
  kdp::FileInfo info;
  status.exists = kdp::QueryFile(native, &info) == 0;
  status.isDirectory = status.exists && info.kind == kdp::FileKind::kFolder;
  return status;
}

}  // namespace keydepot
