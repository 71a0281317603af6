#include "kdplatform/path_names.h"

namespace kdp {

bool IsAbsolutePath(std::string_view path) noexcept { return !path.empty() && path.front() == '/'; }

char PathListSeparator() noexcept { return ':'; }

}  // namespace kdp
