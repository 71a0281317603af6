// Rules for the names that become file names inside the store (device
// folders, items and containers) and for the names of a PKCS#11 token's
// items and containers. A valid name can never reach outside the folder it
// is joined to.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace nodyx {

inline constexpr std::size_t kMaxNameBytes = 255;

// Names of a PKCS#11 token's items and containers (object labels, not
// files): false for null, empty, "." and "..", names over kMaxNameBytes, and
// names holding '/', '\' or a control character.
bool IsValidObjectName(const char* name);
bool IsValidObjectName(std::string_view name);
// Empty for a valid object name, else why it is not, for people.
std::string_view ObjectNameProblem(std::string_view name);

// Names of the store's files: the rules above, and on every system those
// that keep a store portable to Windows, which cannot keep a name that
// holds ':' (it names an NTFS stream) or '<', '>', '"', '|', '?', '*', that
// ends in '.' or ' ' (Windows drops them), or whose part before the first
// '.' (trailing spaces dropped) is a device name: CON, PRN, AUX, NUL,
// COM0-COM9, LPT0-LPT9, COM and LPT with a superscript 1, 2 or 3, CONIN$,
// CONOUT$, in any case. The temporary files of a save are not store names
// either. The problem: empty for a valid name, else why it is not, for
// people.
std::string_view StoreNameProblem(std::string_view name);
bool IsValidStoreName(const char* name);
bool IsValidStoreName(std::string_view name);

// Display and system names: at most kMaxNameBytes, no '\' or '|' (they
// would break the device path text), no control characters.
bool IsValidDeviceName(std::string_view name);

// Copies text into a buffer of `size` bytes (terminator included), cutting
// at a UTF-8 character boundary when it does not fit. size must be > 0.
void CopyTruncated(std::string_view text, char* buffer, std::size_t size);

}  // namespace nodyx
