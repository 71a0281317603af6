#include "temporary_name.h"

#include "kdplatform/errors.h"

#include "folders.h"

#include <random>

namespace kdp {
namespace {

constexpr std::string_view kTemporaryPrefix = ".kdtmp-";
constexpr std::size_t kTemporaryRandomChars = 6;

}  // namespace

std::string detail::TemporaryFileName() {
  static constexpr char kChars[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  thread_local std::mt19937 random{std::random_device{}()};
  std::string name(kTemporaryPrefix);
  for (std::size_t i = 0; i < kTemporaryRandomChars; ++i) name += kChars[random() % (sizeof kChars - 1)];
  return name;
}

DWORD detail::CreateTemporaryFile(const std::string& folder, Access access, FileHandle* file, std::string* path) {
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string name = JoinPath(folder, TemporaryFileName());
    const DWORD error = OpenFile(name, kOpenWrite | kOpenCreate | kOpenExclusive, file, access);
    if (error == ERROR_FILE_EXISTS) continue;
    if (error == 0) *path = std::move(name);
    return error;
  }
  return ERROR_FILE_EXISTS;
}

bool IsTemporaryFileName(std::string_view name) noexcept {
  return name.size() == kTemporaryPrefix.size() + kTemporaryRandomChars &&
         name.substr(0, kTemporaryPrefix.size()) == kTemporaryPrefix;
}

}  // namespace kdp
