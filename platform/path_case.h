// Finding a file whose path was given in another letter case, as the Windows
// file system would.
#pragma once

#include <string>

namespace kdp::detail {

// The existing path that `path` names when letter case is ignored in every
// component ('/'-separated): the path itself when it exists, else each
// component that does not exist as written is replaced by the directory
// entry that equals it ignoring case (the first such entry in byte order).
// Relative paths stay relative. Empty when some component has no match.
std::string ResolvePathIgnoringCase(const std::string& path);

}  // namespace kdp::detail
