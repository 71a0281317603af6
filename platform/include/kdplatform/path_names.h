// Native path names, for modules above the platform layer: joining,
// absolute paths, lists of paths, and whether two names reach one file.
// Paths are native paths (kdp::ToNativePath). No call here touches the
// last error; any thread.
#pragma once

#include "kdplatform/export.h"

#include <string>
#include <string_view>

namespace kdp {

// `folder` and `name` joined by one separator of the system's ('/' or '\');
// a folder that ends in a separator (or is empty, or a bare drive "C:") gets
// none.
KDPLATFORM_API std::string JoinPath(const std::string& folder, const std::string& name);

// The folder holding `path` ("." for a bare name). Separators at the end
// are not a name of their own: "keys/sub/" is in "keys". A root ("/",
// "C:\", "\\server\share\") is its own parent.
KDPLATFORM_API std::string ParentOf(const std::string& path);

// Whether `path` names the same place from any current folder: "/x"; on
// Windows "C:\x" and "\\server\share" (not "\x" or "C:x").
KDPLATFORM_API bool IsAbsolutePath(std::string_view path) noexcept;

// What separates the paths of a list such as PATH: ':' where paths use '/',
// ';' where they use '\'.
KDPLATFORM_API char PathListSeparator() noexcept;

// Whether `a` and `b` both exist and are one file or folder (the same
// device and node), links followed. False when either cannot be asked.
KDPLATFORM_API bool IsSameFile(const std::string& a, const std::string& b);

}  // namespace kdp
