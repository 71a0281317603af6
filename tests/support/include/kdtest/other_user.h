// Part of a test run as the other user of a shared machine: nobody (uid and
// gid 65534, no supplementary groups). POSIX systems only; the tests must
// run as root to become someone else, and skip such cases otherwise.
#pragma once

#include <functional>

namespace kdtest {

inline constexpr unsigned kOtherUser = 65534;

// Whether this process may become the other user (it runs as root).
bool CanBecomeOtherUser();

// Runs `body` in a forked child that has become the other user. The child's
// GoogleTest failures are its exit status: true when it exited cleanly with
// none. The parent's state (files, environment) is shared up to the fork.
bool RunAsOtherUser(const std::function<void()>& body);

// Makes the other user own `path` (not following a link there).
bool GiveToOtherUser(const char* path);

}  // namespace kdtest
