#include "paths/full_path_constants.h"

#include "kdplatform/win32.h"

namespace keydepot {
namespace {
const std::string g_containersFolder =
    std::string(1, KDP_PATH_SEPARATOR) + "Maltrove" + KDP_PATH_SEPARATOR + "Containers";
const std::string g_defaultContainer = "sgn_cont";
}  // namespace

const std::string& ContainersFolder() { return g_containersFolder; }
const std::string& DefaultContainerName() { return g_defaultContainer; }

}  // namespace keydepot
