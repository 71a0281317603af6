// Folder parts of native paths, for the file-I/O layer's own use. Each
// system's folders.cc defines them.
#pragma once

#include <string>

namespace kdp::detail {

// The folder holding `path` ("." for a bare name); a root ("/", "C:\",
// "\\server\share\") is its own parent.
std::string ParentOf(const std::string& path);

// `folder` and `name` joined by one separator.
std::string JoinPath(const std::string& folder, const std::string& name);

}  // namespace kdp::detail
