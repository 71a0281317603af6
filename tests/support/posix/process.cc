#include "kdtest/process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <tuple>

extern char** environ;

namespace kdtest {
namespace {

// Closes what it holds when it dies.
struct Fd {
  int fd = -1;
  ~Fd() { Close(); }
  void Close() {
    if (fd >= 0) ::close(fd);
    fd = -1;
  }
};

struct Pipe {
  Fd read, write;
  bool Open() {
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) != 0) return false;
    read.fd = ends[0];
    write.fd = ends[1];
    return true;
  }
};

// The test's environment with `additions` put over it, as "name=value".
std::vector<std::string> Environment(const std::vector<std::pair<std::string, std::string>>& additions) {
  std::vector<std::string> entries;
  for (char** entry = environ; *entry != nullptr; ++entry) {
    const std::string text = *entry;
    const std::string name = text.substr(0, text.find('='));
    bool replaced = false;
    for (const auto& [addedName, value] : additions) replaced = replaced || addedName == name;
    if (!replaced) entries.push_back(text);
  }
  for (const auto& [name, value] : additions) entries.push_back(name + "=" + value);
  return entries;
}

std::vector<char*> Pointers(std::vector<std::string>& texts) {
  std::vector<char*> pointers;
  for (std::string& text : texts) pointers.push_back(text.data());
  pointers.push_back(nullptr);
  return pointers;
}

}  // namespace

ProcessResult RunProcess(const std::string& program, const std::vector<std::string>& arguments,
                         const ProcessOptions& options) {
  ProcessResult result;
  Pipe in, out, err;
  if (!in.Open() || !out.Open() || !err.Open()) {
    result.err = std::string("pipe2 failed: ") + std::strerror(errno);
    return result;
  }
  // A program that stops reading early must not end the test with SIGPIPE;
  // the program itself gets the default action back.
  ::signal(SIGPIPE, SIG_IGN);
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  sigset_t defaults;
  sigemptyset(&defaults);
  sigaddset(&defaults, SIGPIPE);
  posix_spawnattr_setsigdefault(&attributes, &defaults);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, in.read.fd, 0);
  posix_spawn_file_actions_adddup2(&actions, out.write.fd, 1);
  posix_spawn_file_actions_adddup2(&actions, err.write.fd, 2);

  std::vector<std::string> argumentTexts{program};
  argumentTexts.insert(argumentTexts.end(), arguments.begin(), arguments.end());
  std::vector<std::string> environment = Environment(options.environment);
  pid_t child = -1;
  const int spawned = ::posix_spawn(&child, program.c_str(), &actions, &attributes, Pointers(argumentTexts).data(),
                                    Pointers(environment).data());
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
  in.read.Close();
  out.write.Close();
  err.write.Close();
  if (spawned != 0) {
    result.err = std::string("posix_spawn failed: ") + std::strerror(spawned);
    return result;
  }

  // Feeds the input and drains both outputs at once, so that a program
  // blocked on a full pipe never waits for the test.
  std::size_t written = 0;
  if (options.input.empty()) in.write.Close();
  ::fcntl(in.write.fd, F_SETFL, O_NONBLOCK);
  while (out.read.fd >= 0 || err.read.fd >= 0) {
    pollfd fds[3] = {{in.write.fd, POLLOUT, 0}, {out.read.fd, POLLIN, 0}, {err.read.fd, POLLIN, 0}};
    const bool watching = options.killWhen && !result.killed;
    const int ready = ::poll(fds, 3, watching ? 2 : -1);
    if (ready < 0 && errno != EINTR) break;
    if (watching && options.killWhen()) {
      ::kill(child, SIGKILL);
      result.killed = true;
    }
    if (ready <= 0) continue;
    if (fds[0].revents != 0) {
      const ssize_t n = ::write(in.write.fd, options.input.data() + written, options.input.size() - written);
      if (n > 0) written += static_cast<std::size_t>(n);
      if ((n < 0 && errno != EAGAIN && errno != EINTR) || written == options.input.size()) in.write.Close();
    }
    for (auto [pollIndex, fd, text] : {std::tuple{1, &out.read, &result.out}, std::tuple{2, &err.read, &result.err}}) {
      if (fds[pollIndex].revents == 0) continue;
      char buffer[4096];
      const ssize_t n = ::read(fd->fd, buffer, sizeof buffer);
      if (n > 0) {
        text->append(buffer, static_cast<std::size_t>(n));
      } else if (n == 0 || errno != EINTR) {
        fd->Close();
      }
    }
  }
  in.write.Close();
  int status = 0;
  while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  if (WIFEXITED(status) && !result.killed) result.code = WEXITSTATUS(status);
  return result;
}

}  // namespace kdtest
