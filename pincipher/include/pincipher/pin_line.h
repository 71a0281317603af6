// ReadPinLine: a PIN given as one line of a file, a pipe or a terminal.
// Shared by the tools that read PINs; the bytes stay in a wiped buffer.
#pragma once

#include <kdplatform/file_io.h>
#include <kdplatform/wiped_bytes.h>

#include <cstddef>

namespace pincipher {

// The bytes before the first newline (a final '\r' dropped), read one byte
// at a time so that nothing after the line is consumed. False, with *pin
// empty, when the line is empty, unreadable, holds a NUL byte or is longer
// than maxBytes.
bool ReadPinLine(kdp::NativeFile file, std::size_t maxBytes, kdp::WipedBytes* pin);

}  // namespace pincipher
