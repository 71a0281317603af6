// TOOUtils: path helpers.
#pragma once

#include "tools2/export.h"

#include <string>

class TOOLS2_API TOOUtils {
 public:
  // True when both paths name the same place. Two empty paths are equal; an
  // empty path equals no other.
  // Linux: each path is translated with kdp::ToNativePath (drive letters,
  // '\'), made absolute against the current directory and normalised by its
  // text: '\' and '/' alike, "." dropped, ".." removing the component before
  // it (never above the root), repeated and trailing separators ignored.
  // Equal texts are the same place; letter case counts, as in Linux names.
  // Two existing paths on the same device and inode (hard and symbolic
  // links) are the same place as well. A path on an unmapped drive is
  // normalised but kept relative to its drive.
  // Windows: both made absolute by the system (GetFullPathNameA), trailing
  // separators ignored, compared ignoring letter case as Windows names are;
  // two existing paths to the same file (volume and file index) are the same
  // place as well.
  static bool IsPathEqual(const std::string& a, const std::string& b);
};
