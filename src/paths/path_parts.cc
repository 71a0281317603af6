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
  // Where each part begins, then one copy of each.
  const size_t directory = path.size() >= 2 && path[1] == ':' ? 2 : 0;
  const size_t lastSeparator = path.find_last_of("\\/");
  const size_t name = lastSeparator != std::string::npos && lastSeparator >= directory ? lastSeparator + 1 : directory;
  const size_t dot = path.rfind('.');
  const size_t extension = dot != std::string::npos && dot >= name ? dot : path.size();
  FileSystemParts parts;
  parts.drive = path.substr(0, directory);
  parts.directory = path.substr(directory, name - directory);
  parts.fileName = path.substr(name, extension - name);
  parts.extension = path.substr(extension);
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
