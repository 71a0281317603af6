#include "byte_io.h"

#include "failure.h"

#include <kdplatform/secure_zero.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace kdcli {

namespace {

bool IsStandardStream(const std::string& path) { return path.empty() || path == "-"; }

// Closes a descriptor this tool opened; standard streams stay open.
class Descriptor {
 public:
  Descriptor(int fd, bool owned) : fd_(fd), owned_(owned) {}
  ~Descriptor() {
    if (owned_ && fd_ >= 0) ::close(fd_);
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  int get() const { return fd_; }
  // Closes now so that a failing close (full disk on NFS) is reported.
  bool Close() {
    if (!owned_ || fd_ < 0) return true;
    const int fd = fd_;
    fd_ = -1;
    return ::close(fd) == 0;
  }

 private:
  int fd_;
  bool owned_;
};

std::string Name(const std::string& path, const char* stream) {
  return IsStandardStream(path) ? std::string(stream) : path;
}

}  // namespace

SecretBytes::~SecretBytes() { SecureZeroMemory(bytes_.data(), bytes_.capacity()); }

void SecretBytes::ReadAll(const std::string& path) {
  const bool standard = IsStandardStream(path);
  Descriptor in(standard ? STDIN_FILENO : ::open(path.c_str(), O_RDONLY | O_CLOEXEC), !standard);
  if (in.get() < 0) throw Failure(kLocalIo, "cannot open " + path + ": " + std::strerror(errno));
  unsigned char chunk[16384];
  for (;;) {
    const ssize_t n = ::read(in.get(), chunk, sizeof chunk);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      SecureZeroMemory(chunk, sizeof chunk);
      throw Failure(kLocalIo, "cannot read " + Name(path, "standard input") + ": " + std::strerror(errno));
    }
    if (n == 0) break;
    if (bytes_.size() + static_cast<std::size_t>(n) > bytes_.capacity()) {
      // Grow by hand so that the old block is wiped before it is freed.
      std::vector<unsigned char> bigger;
      bigger.reserve((bytes_.size() + static_cast<std::size_t>(n)) * 2);
      bigger.assign(bytes_.begin(), bytes_.end());
      SecureZeroMemory(bytes_.data(), bytes_.capacity());
      bytes_.swap(bigger);
    }
    bytes_.insert(bytes_.end(), chunk, chunk + n);
  }
  SecureZeroMemory(chunk, sizeof chunk);
  if (bytes_.size() > 0xFFFFFFFFu) throw Failure(kLocalIo, Name(path, "standard input") + " is over 4 GiB");
}

void WriteAll(const std::string& path, const unsigned char* data, std::size_t size) {
  const bool standard = IsStandardStream(path);
  Descriptor out(standard ? STDOUT_FILENO : ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600),
                 !standard);
  if (out.get() < 0) throw Failure(kLocalIo, "cannot create " + path + ": " + std::strerror(errno));
  std::size_t done = 0;
  while (done < size) {
    const ssize_t n = ::write(out.get(), data + done, size - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) throw Failure(kLocalIo, "cannot write " + Name(path, "standard output") + ": " + std::strerror(errno));
    done += static_cast<std::size_t>(n);
  }
  if (!out.Close()) throw Failure(kLocalIo, "cannot write " + path + ": " + std::strerror(errno));
}

LocalEntry Inspect(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return {};
  return {true, S_ISDIR(st.st_mode), static_cast<std::uint64_t>(st.st_size)};
}

int AccessError(const std::string& path, Access access) {
  const int mode = access == Access::kRead ? R_OK : access == Access::kWriteFile ? W_OK : W_OK | X_OK;
  return ::faccessat(AT_FDCWD, path.c_str(), mode, AT_EACCESS) == 0 ? 0 : errno;
}

std::vector<FolderFile> FilesIn(const std::string& folder) {
  namespace fs = std::filesystem;
  const LocalEntry entry = Inspect(folder);
  if (!entry.exists) throw Failure(kNotFound, "the folder " + folder + " does not exist");
  if (!entry.folder) throw Failure(kBadPath, folder + " is a file, not a folder");
  std::vector<FolderFile> files;
  std::error_code ec;
  for (fs::directory_iterator it(folder, ec); !ec && it != fs::directory_iterator(); it.increment(ec)) {
    std::error_code sizeError;
    if (!it->is_regular_file(sizeError)) continue;
    const std::uintmax_t size = it->file_size(sizeError);
    files.push_back({it->path().filename().string(), sizeError ? 0 : static_cast<std::uint64_t>(size)});
  }
  if (ec) throw Failure(kLocalIo, "cannot list the folder " + folder + ": " + ec.message());
  std::sort(files.begin(), files.end(), [](const FolderFile& a, const FolderFile& b) { return a.name < b.name; });
  return files;
}

}  // namespace kdcli
