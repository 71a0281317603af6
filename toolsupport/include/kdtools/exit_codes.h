// The exit codes of keydepot and nodyx-admin: one table for both tools.
// Scripts rely on them: never renumber, only add. docs/cli.md lists them.
#pragma once

namespace kdtools {

enum ExitCode : int {
  kOk = 0,
  kNo = 1,          // a test answered no: exists (absent), compare (different)
  kUsage = 2,       // bad command line or input that is not valid
  kFailed = 3,      // the library, the store or the device reported another failure
  kNotFound = 4,    // the item, file, container or device does not exist
  kPinRefused = 5,  // the device wants a PIN, or refused the one given
  kBadPath = 6,     // a path (or a name in it) is not valid, or names more than one device
  kLocalIo = 7,     // an input, output or PIN file could not be used
  kExists = 8,      // the target exists already
  kBusy = 9,        // the device is in use by other programs or sessions: try again
};

}  // namespace kdtools
