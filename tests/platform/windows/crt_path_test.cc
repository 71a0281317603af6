// The C run-time's _splitpath on parts longer than its buffers, as a save
// splits an item's folder out of a path of any length: a part is cut or left
// empty, never written past its buffer.
#include "../split_path.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace {

void IgnoreInvalidParameter(const wchar_t*, const wchar_t*, const wchar_t*, unsigned int, uintptr_t) {}

// A buffer of exactly `size` bytes followed by bytes that must stay as they are.
struct Guarded {
  explicit Guarded(std::size_t size) : size(size), bytes(size + kGuard, '#') {}
  bool GuardIntact() const { return bytes.find_first_not_of('#', size) == std::string::npos; }
  std::string Text() const { return bytes.substr(0, bytes.find('\0')); }
  static constexpr std::size_t kGuard = 64;
  std::size_t size;
  std::string bytes;
};

TEST(SplitPath, OverlongPartsAreTruncatedNotOverrun) {
  const _invalid_parameter_handler previous = _set_invalid_parameter_handler(IgnoreInvalidParameter);
  const std::string dir = "\\" + std::string(600, 'd') + "\\";
  const std::string name(400, 'n');
  const std::string ext = "." + std::string(300, 'e');
  const std::string path = "C:" + dir + name + ext;
  Guarded drive(_MAX_DRIVE), folder(_MAX_DIR), fname(_MAX_FNAME), extension(_MAX_EXT);
  _splitpath(path.c_str(), drive.bytes.data(), folder.bytes.data(), fname.bytes.data(), extension.bytes.data());
  for (const Guarded* part : {&drive, &folder, &fname, &extension}) {
    EXPECT_TRUE(part->GuardIntact());
    EXPECT_LT(part->bytes.find('\0'), part->size) << "terminated inside its buffer";
  }
  // The run-time cuts each part to its buffer or, with the checks of
  // _splitpath_s, leaves them all empty.
  EXPECT_TRUE(dir.starts_with(folder.Text()));
  EXPECT_TRUE(name.starts_with(fname.Text()));
  EXPECT_TRUE(ext.starts_with(extension.Text()));

  // The library asks for the folder alone.
  Guarded only(_MAX_DIR);
  _splitpath(path.c_str(), nullptr, only.bytes.data(), nullptr, nullptr);
  EXPECT_TRUE(only.GuardIntact());
  EXPECT_TRUE(dir.starts_with(only.Text()));
  _set_invalid_parameter_handler(previous);

  EXPECT_EQ(kdtest::SplitPath("C:\\keys\\a.bin"), (kdtest::Split{"C:", "\\keys\\", "a", ".bin"}));
}

}  // namespace
