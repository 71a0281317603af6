// Reads a PIN for the admin tool from a file, a pipe or the terminal
// (without echo), through the PIN sources keydepot uses too
// (kdtools/pin_source.h). The PIN never appears on a command line or in
// output. Both functions throw kdtools::Failure when no usable PIN comes
// (kLocalIo; kUsage when a prompt is needed without a terminal).
#pragma once

#include <kdplatform/wiped_bytes.h>

#include <string>

namespace nodyx::admin {

// From pinFile when it is not empty, else from standard input when that is
// not a terminal, else by prompting twice on the terminal.
void ReadNewPin(const std::string& pinFile, kdp::WipedBytes* pin);

// A PIN that exists already (an admin PIN): from pinFile when it is not
// empty, else by prompting once with `prompt` when standard input is a
// terminal. Standard input that is not a terminal is not read: it may carry
// a new PIN.
void ReadExistingPin(const std::string& pinFile, const char* prompt, kdp::WipedBytes* pin);

}  // namespace nodyx::admin
