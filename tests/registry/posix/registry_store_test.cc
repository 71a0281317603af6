// The registry's store of files on Linux: its layout, permissions and
// damaged files.
#include "../registry_test.h"

#include <kdtest/environment.h>
#include <kdtest/other_user.h>
#include <kdtest/temp_folder.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sys/stat.h>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

constexpr DWORD kRegistryCorrupt = 1015;

// The store in a folder the test names itself.
class RegistryStoreTest : public RegistryTest {
 protected:
  void SetUp() override {
    base_ = temp_.path();
    root_ = base_ + "/store";  // missing until the first key is created
    kdtest::SetEnv("KEYDEPOT_REGISTRY", root_.c_str());
  }

  static Bytes FileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
  }
  static void WriteFile(const std::string& path, const Bytes& bytes) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  }
  static unsigned Mode(const std::string& path) {
    struct stat st {};
    ::stat(path.c_str(), &st);
    return st.st_mode & 0777u;
  }

  kdtest::TempFolder temp_;
  std::string base_;
  std::string root_;
};

TEST_F(RegistryStoreTest, StoreLayoutAndPermissions) {
  const mode_t saved = ::umask(0);
  {
    CTooRegHLM reg("Keys\\.values\\50%/x", TOOREG_CREATE);
    ASSERT_TRUE(reg.SetValue("Secret", "s", 1));
  }
  ::umask(saved);
  // Lower-cased parts; '/', '%' and a leading '.' escaped, so that no key
  // folder can be taken for the values file or leave its parent.
  const std::string key = root_ + "/keys/%2Evalues/50%25%2Fx";
  ASSERT_TRUE(fs::is_regular_file(key + "/.values"));
  EXPECT_EQ(Mode(key + "/.values"), 0600u);
  EXPECT_EQ(Mode(key), 0700u);
  EXPECT_EQ(Mode(root_), 0700u);
  EXPECT_FALSE(fs::exists(root_ + "/keys/.values"));
  EXPECT_EQ(TooRegStoreFolder(), root_);

  // The store is chosen anew at every open.
  const std::string other = base_ + "/other";
  kdtest::SetEnv("KEYDEPOT_REGISTRY", other.c_str());
  EXPECT_EQ(OpenError("Keys", TOOREG_READ), static_cast<int>(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(OpenError("Keys", TOOREG_CREATE), 0);
  EXPECT_TRUE(fs::is_directory(other + "/keys"));
}

TEST_F(RegistryStoreTest, InterruptedAndDamagedWritesNeverYieldHalfValues) {
  const Bytes pin(200, 0x5A);
  {
    CTooRegHLM reg("K", TOOREG_CREATE);
    ASSERT_TRUE(reg.SetValue("PIN", pin.data(), static_cast<DWORD>(pin.size())));
    ASSERT_TRUE(reg.SetValue("SavePIN", DWORD{1}));
  }
  const std::string values = root_ + "/k/.values";
  const Bytes good = FileBytes(values);

  // A write cut off before its rename leaves only a temporary file behind:
  // readers see the old values and later writes are not disturbed.
  WriteFile(root_ + "/k/.kdtmp-abcdef", Bytes(good.begin(), good.begin() + 20));
  {
    CTooRegHLM reg("K", TOOREG_WRITE);
    EXPECT_EQ(ReadValue(reg, "PIN"), pin);
    ASSERT_TRUE(reg.SetValue("SavePIN", DWORD{0}));
  }
  EXPECT_EQ(Mode(values), 0600u);

  // A damaged values file (every truncation, one flipped length) is refused,
  // never read past its end, and never overwritten by a write.
  const Bytes current = FileBytes(values);
  for (std::size_t cut = 0; cut < current.size(); ++cut) {
    WriteFile(values, Bytes(current.begin(), current.begin() + static_cast<std::ptrdiff_t>(cut)));
    CTooRegHLM reg("K", TOOREG_WRITE);
    unsigned char buffer[300];
    const BOOL read = reg.GetMemory("PIN", buffer, sizeof buffer);
    if (!read) {
      EXPECT_TRUE(GetLastError() == kRegistryCorrupt || GetLastError() == ERROR_FILE_NOT_FOUND) << cut;
    }
  }
  Bytes bad = current;
  bad[8] = 0xFF;  // first name length far past the end
  WriteFile(values, bad);
  CTooRegHLM reg("K", TOOREG_WRITE);
  EXPECT_EQ(reg.GetBufferLength("PIN"), 0u);
  EXPECT_EQ(GetLastError(), kRegistryCorrupt);
  EXPECT_FALSE(reg.SetValue("Other", DWORD{1}));
  EXPECT_EQ(FileBytes(values), bad);
}

// The store holds the PIN cipher's key and the enciphered PINs: a key that
// another user could have changed or swapped is not opened at all.
TEST_F(RegistryStoreTest, AKeyOthersCouldChangeIsNotUsed) {
  ASSERT_EQ(::chmod(base_.c_str(), 0700), 0);
  {
    CTooRegHLM reg("Pins\\Dev", TOOREG_CREATE);
    ASSERT_TRUE(reg.SetValue("PIN", "enciphered", 10));
  }
  ASSERT_EQ(::chmod(root_.c_str(), 0777), 0);
  EXPECT_EQ(OpenError("Pins\\Dev", TOOREG_READ), static_cast<int>(ERROR_ACCESS_DENIED));
  EXPECT_EQ(OpenError("Pins\\Other", TOOREG_CREATE), static_cast<int>(ERROR_ACCESS_DENIED));
  ASSERT_EQ(::chmod(root_.c_str(), 0700), 0);
  EXPECT_EQ(OpenError("Pins\\Dev", TOOREG_READ), 0);

  // A link where the values should be is not read.
  const std::string values = root_ + "/pins/dev/.values";
  fs::rename(values, base_ + "/elsewhere");
  fs::create_symlink(base_ + "/elsewhere", values);
  CTooRegHLM reg("Pins\\Dev", TOOREG_READ);
  EXPECT_EQ(reg.GetBufferLength("PIN"), 0u);
  EXPECT_EQ(GetLastError(), ERROR_CANT_RESOLVE_FILENAME);

  if (!kdtest::CanBecomeOtherUser()) return;
  ASSERT_TRUE(kdtest::GiveToOtherUser((root_ + "/pins").c_str()));
  EXPECT_EQ(OpenError("Pins\\Dev", TOOREG_READ), static_cast<int>(ERROR_ACCESS_DENIED));
}

}  // namespace
