#include "kdtest/temp_folder.h"

#include <kdplatform/win32.h>

#include <filesystem>
#include <random>
#include <stdexcept>

namespace kdtest {
namespace {

std::string RandomSuffix() {
  static constexpr char kChars[] = "abcdefghijklmnopqrstuvwxyz0123456789";
  thread_local std::mt19937 random{std::random_device{}()};
  std::string suffix;
  for (int i = 0; i < 10; ++i) suffix += kChars[random() % (sizeof kChars - 1)];
  return suffix;
}

// Gives the owner back every right below `path`, so that a test that took
// some away still leaves nothing behind.
void MakeRemovable(const std::filesystem::path& path) {
  std::error_code ignored;
  std::filesystem::permissions(path, std::filesystem::perms::owner_all, std::filesystem::perm_options::add, ignored);
  if (!std::filesystem::is_directory(path, ignored) || std::filesystem::is_symlink(path, ignored)) return;
  for (const auto& entry : std::filesystem::directory_iterator(path, ignored)) MakeRemovable(entry.path());
}

}  // namespace

std::string UniqueName(const std::string& prefix) { return prefix + "-" + RandomSuffix(); }

TempFolder::TempFolder() {
  const std::filesystem::path base = std::filesystem::temp_directory_path();
  for (int attempt = 0; attempt < 100 && path_.empty(); ++attempt) {
    const std::filesystem::path candidate = base / UniqueName("keydepot-test");
    std::error_code error;
    if (std::filesystem::create_directory(candidate, error)) path_ = candidate.string();
  }
  if (path_.empty()) throw std::runtime_error("no temporary folder");
  while (path_.size() > 1 && (path_.back() == '/' || path_.back() == '\\')) path_.pop_back();
}

TempFolder::~TempFolder() {
  MakeRemovable(path_);
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

std::string TempFolder::operator/(const std::string& relative) const { return path_ + KDP_PATH_SEPARATOR + relative; }

}  // namespace kdtest
