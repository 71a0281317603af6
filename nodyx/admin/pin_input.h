// Reads a PIN for the admin tool from a file, a pipe or the terminal
// (without echo). The PIN never appears on a command line or in output.
#pragma once

#include <kdplatform/wiped_bytes.h>

#include <cstddef>
#include <string>

namespace nodyx::admin {

// The longest PIN the tool reads.
inline constexpr std::size_t kMaxPinInputBytes = 1023;

// From pinFile when it is not empty, else from standard input when that is
// not a terminal, else by prompting twice on the terminal. On failure
// returns false and says why in *error.
bool ReadNewPin(const std::string& pinFile, kdp::WipedBytes* pin, std::string* error);

// A PIN that exists already (an admin PIN): from pinFile when it is not
// empty, else by prompting once with `prompt` when standard input is a
// terminal. Standard input that is not a terminal is not read: it may carry
// a new PIN. On failure returns false and says why in *error.
bool ReadExistingPin(const std::string& pinFile, const char* prompt, kdp::WipedBytes* pin, std::string* error);

}  // namespace nodyx::admin
