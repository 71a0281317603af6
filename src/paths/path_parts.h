// Pieces of full storage paths shared by parsing, building and comparison.
#pragma once

#include <string>

namespace keydepot {

inline constexpr const char kSubNameSeparator[] = ":.";

// A container text cut at its first ":.": the part before it, and the
// sub-name after it (empty when there is no separator).
struct ContainerAndSubName {
  std::string container;
  std::string subName;
};
ContainerAndSubName CutSubName(const std::string& container);

// A file-system path split into drive ("X:" when the second character is
// ':'), directory (up to and including the last '\' or '/'), file name and
// extension (from the last '.' of the final component). No length limits.
struct FileSystemParts {
  std::string drive;
  std::string directory;
  std::string fileName;
  std::string extension;
};
FileSystemParts SplitFileSystemPath(const std::string& path);

// Whether path (drive letters and both separators accepted) exists, and
// whether it is a directory. Status errors count as "does not exist".
struct PathStatus {
  bool exists = false;
  bool isDirectory = false;
};
PathStatus QueryPathStatus(const std::string& path);

}  // namespace keydepot
