// Where a tool reads a PIN from: a file, an inherited descriptor, an
// environment variable or the terminal (echo off), never the command line.
// The PIN lands in a kdp::WipedBytes; it is never printed.
#pragma once

#include <kdplatform/wiped_bytes.h>

#include <cstddef>
#include <functional>
#include <string>

namespace kdtools {

// The longest PIN the tools read.
inline constexpr std::size_t kMaxPinBytes = 1023;

// At most one of these is set by the caller; the first set one is used.
struct PinSource {
  std::string file;
  int fd = -1;  // 0: standard input
  std::string env;
  bool Named() const { return !file.empty() || fd >= 0 || !env.empty(); }
};

// Receives a warning for the user (a PIN file that others may read).
using PinWarning = std::function<void(const std::string&)>;

// Reads the PIN the source names. Throws Failure (kLocalIo) when it gives no
// usable PIN (absent, empty, unreadable, over kMaxPinBytes). A PIN file
// others may read is used, with a warning: refusing would break scripts whose
// files live on shares without modes.
void ReadPin(const PinSource& source, const PinWarning& warn, kdp::WipedBytes* pin);

// Whether a prompt is possible: standard input is a terminal.
bool CanPrompt();
// Prompts on standard error and reads one line from the terminal of standard
// input with echo off. Throws Failure: kUsage when standard input is no
// terminal (`instead` says which options give the PIN then), kLocalIo when
// nothing was entered.
void PromptPin(const std::string& prompt, const std::string& instead, kdp::WipedBytes* pin);

// Clears every byte a std::string ever held in its current block: for the
// copy of a PIN an API takes as std::string. Reserve the string's full size
// before the PIN goes in, so that it never moves.
void WipeText(std::string* text) noexcept;

}  // namespace kdtools
