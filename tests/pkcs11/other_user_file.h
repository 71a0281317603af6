// A file another local user left behind, for the cases about files the
// component must not trust. One implementation per system: a child process
// that became the other user (posix/), or the Wine host giving the file away
// (windows/; kdtest/wine_host.h).
#pragma once

#include <string>

namespace keydepot {

// Writes `text` to `path` as another user would have, in a folder that user
// may write in. False, with why in *skip, where this run cannot (not root,
// not under Wine, or the trust check refuses nothing yet).
bool WriteAsOtherUser(const std::string& path, const std::string& text, std::string* skip);

}  // namespace keydepot
