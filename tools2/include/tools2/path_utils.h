// TOOUtils: path helpers.
#pragma once

#include "tools2/export.h"

#include <string>

class TOOLS2_API TOOUtils {
 public:
  // True when both paths name the same place. Each path is translated with
  // kdp::ToNativePath (drive letters, '\'), made absolute against the current
  // directory and normalised by its text: '\' and '/' alike, "." dropped,
  // ".." removing the component before it (never above the root), repeated
  // and trailing separators ignored. Equal texts are the same place; letter
  // case counts, as in Linux names. Two existing paths on the same device
  // and inode (hard and symbolic links) are the same place as well. A path
  // on an unmapped drive is normalised but kept relative to its drive. Two
  // empty paths are equal; an empty path equals no other.
  static bool IsPathEqual(const std::string& a, const std::string& b);
};
