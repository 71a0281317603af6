// Windows tests under Wine: setting up what another local user would leave
// on a shared machine, through the Linux host that Wine runs on. Wine keeps
// no access lists of files: it shows a host file's owner and mode as one
// (the owner is the caller when the host file is the running user's, the
// Anonymous Logon SID S-1-5-7 otherwise; the "other" mode bits become an
// entry for Everyone). So a file the host gives to another user looks, to a
// Windows program, like another user's file, and a folder made 1777 like one
// every user may change.
//
// Everything here is false on Windows itself and when Wine does not run as
// root; tests skip then.
#pragma once

#include <string>

namespace kdtest {

// Whether the host can be asked to change owners (Wine, as root).
bool HostCanGiveAway();

// Makes the host's other user (nobody, 65534) own `path` (a Windows path),
// not following a link there.
bool GiveToOtherHostUser(const std::string& path);

// Sets the host's mode bits of `path` (0777 style, with the sticky bit).
bool SetHostMode(const std::string& path, unsigned mode);

}  // namespace kdtest
