// _splitpath's four parts, for the path tests of both systems.
#pragma once

#include "kdplatform/win32.h"

#include <ostream>
#include <string>
#include <vector>

namespace kdtest {

struct Split {
  std::string drive, dir, fname, ext;
  bool operator==(const Split&) const = default;
};

inline std::ostream& operator<<(std::ostream& out, const Split& s) {
  return out << '[' << s.drive << "][" << s.dir << "][" << s.fname << "][" << s.ext << ']';
}

inline Split SplitPath(const char* path) {
  // Heap buffers of exactly the documented sizes, so an overrun is caught.
  std::vector<char> drive(_MAX_DRIVE), dir(_MAX_DIR), fname(_MAX_FNAME), ext(_MAX_EXT);
  _splitpath(path, drive.data(), dir.data(), fname.data(), ext.data());
  return {drive.data(), dir.data(), fname.data(), ext.data()};
}

}  // namespace kdtest
