// A private folder for one fuzzing process. The library's data folders, the
// software token's store (two devices), the drives C: (fixed) and E:
// (removable), the registry store and the current folder all lie in it, so
// what a fuzzed input names by a relative path or a drive letter stays
// inside. Removed when the process exits normally; left behind after a
// crash, for inspection.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>

namespace fuzz {

// Creates the sandbox and points the environment at it on the first call;
// returns its root on every call.
const std::filesystem::path& Sandbox();

// Replaces file with the bytes given. The old file is removed first: ext4
// flushes a file that is truncated and written again, which would make every
// run wait for the disk.
void WriteFile(const std::filesystem::path& file, const std::uint8_t* data, std::size_t size);

// True when the file-system path (Windows or native spelling) lies inside
// the sandbox: a relative path or a mapped drive, without "..".
bool IsInsideSandbox(const std::string& path);

}  // namespace fuzz
