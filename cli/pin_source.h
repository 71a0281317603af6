// A device PIN for one command: read from a file, a descriptor, an
// environment variable or a no-echo terminal prompt, never from the command
// line. The text lives in one fixed buffer that is wiped when the object
// dies or is refilled; it is never printed.
#pragma once

#include "command_options.h"

#include <keydepot/ad/component.h>
#include <kdplatform/file_io.h>
#include <kdplatform/win32.h>

#include <string>

namespace kdcli {

class SecretPin {
 public:
  static constexpr std::size_t kCapacity = 1024;

  SecretPin();
  ~SecretPin();
  SecretPin(const SecretPin&) = delete;
  SecretPin& operator=(const SecretPin&) = delete;

  // What CertInfo::pin should point at: null until a PIN was read. Valid
  // while this object lives.
  const std::string* get() const { return present_ ? &text_ : nullptr; }

  // Reads from the file, descriptor, variable or prompt the options name
  // (not the saved PIN: LoadSaved); does nothing when they name none. Throws
  // Failure (kLocalIo) when the source gives no usable PIN. Warns when the
  // PIN file can be read by other users. device names the device in the
  // prompt.
  void Load(const PinOptions& options, const std::string& device);
  // The PIN saved for the device at devicePath (of `type`, which the saved
  // value must name), deciphered with the shared PIN cipher. Throws Failure (kLocalIo) when none is saved or it does
  // not decipher.
  void LoadSaved(DWORD session, const std::string& devicePath, EAD_DeviceType type, const std::string& device);
  // Prompts on the terminal of standard input with echo off.
  void Prompt(const std::string& device);

  // Whether a prompt is possible: standard input is a terminal.
  static bool CanPrompt();

 private:
  // One line from fd, without its end; false when empty, unreadable or too
  // long (the buffer is wiped then).
  bool ReadLine(kdp::NativeFile fd);
  void Wipe();

  std::string text_;  // capacity reserved once, so it never moves
  bool present_ = false;
};

}  // namespace kdcli
