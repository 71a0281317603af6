// How far apart two words are, for suggesting what a user may have meant.
#pragma once

#include <cstddef>
#include <string>

namespace kdcli {

// The Levenshtein distance: the fewest one-character insertions, deletions
// and substitutions that turn a into b. Case counts.
std::size_t EditDistance(const std::string& a, const std::string& b);

}  // namespace kdcli
