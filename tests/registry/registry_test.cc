// The toolkit's registry on Linux, against a store in a temporary folder.
#include "tools2/errors.h"
#include "tools2/registry.h"
#include "kdplatform/environment.h"

#include <kdplatform/win32.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<unsigned char>;

constexpr DWORD kRegistryCorrupt = 1015;

class RegistryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "kd-registry-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    base_ = pattern;
    root_ = base_ + "/store";  // missing until the first key is created
    kdp::SetEnvironmentValue("KEYDEPOT_REGISTRY", root_.c_str());
  }
  void TearDown() override {
    kdp::RemoveEnvironmentValue("KEYDEPOT_REGISTRY");
    std::error_code ignored;
    fs::remove_all(base_, ignored);
  }

  // The code an open raises, or 0.
  static int OpenError(const char* key, int access) {
    try {
      CTooRegHLM reg(key, access);
      return 0;
    } catch (const XTOORegError& e) {
      return e.Code();
    }
  }

  static Bytes ReadValue(CTooReg& reg, const char* name) {
    Bytes bytes(reg.GetBufferLength(name));
    if (!reg.GetMemory(name, bytes.data(), static_cast<DWORD>(bytes.size()))) return {};
    return bytes;
  }

  static Bytes FileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
  }
  static void WriteFile(const std::string& path, const Bytes& bytes) {
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                static_cast<std::streamsize>(bytes.size()));
  }
  static unsigned Mode(const std::string& path) {
    struct stat st {};
    ::stat(path.c_str(), &st);
    return st.st_mode & 0777u;
  }

  std::string base_;
  std::string root_;
};

TEST_F(RegistryTest, ValuesKeepTheirTypeAndBytes) {
  CTooRegHLM reg("SOFTWARE\\Maltrove\\Test", TOOREG_CREATE);
  const Bytes binary = {0x00, 0xFF, 0x10, 0x00};
  ASSERT_TRUE(reg.SetValue("Number", DWORD{0xA1B2C3D4u}));
  ASSERT_TRUE(reg.SetValue("Bytes", binary.data(), static_cast<DWORD>(binary.size())));
  ASSERT_TRUE(reg.SetValue("Empty", nullptr, 0));

  DWORD number = 0;
  EXPECT_TRUE(reg.GetValueEx("number", REG_DWORD, &number, sizeof number));  // names ignore case
  EXPECT_EQ(number, 0xA1B2C3D4u);
  EXPECT_EQ(ReadValue(reg, "BYTES"), binary);

  SetLastError(99);
  EXPECT_EQ(reg.GetBufferLength("Empty"), 0u);
  EXPECT_EQ(GetLastError(), 0u);  // present but empty, unlike a missing value
  EXPECT_EQ(reg.GetBufferLength("Missing"), 0u);
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);

  // The wrong type, or a buffer too small, fails without touching the buffer.
  unsigned char small[3] = {7, 7, 7};
  EXPECT_FALSE(reg.GetValueEx("Bytes", REG_DWORD, small, sizeof small));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_DATA);
  EXPECT_FALSE(reg.GetMemory("Bytes", small, sizeof small));
  EXPECT_EQ(GetLastError(), ERROR_MORE_DATA);
  EXPECT_EQ(small[0], 7);

  // Replacing keeps the other values; a new object sees the change.
  ASSERT_TRUE(reg.SetValue("NUMBER", DWORD{5}));
  CTooRegHLM again("software\\MALTROVE\\test", TOOREG_READ);
  EXPECT_TRUE(again.GetValueEx("Number", REG_DWORD, &number, sizeof number));
  EXPECT_EQ(number, 5u);
  EXPECT_EQ(ReadValue(again, "Bytes"), binary);

  EXPECT_TRUE(reg.DelValue("bytes"));
  EXPECT_FALSE(reg.DelValue("Bytes"));
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
  EXPECT_FALSE(again.GetMemory("Bytes", small, sizeof small));
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
}

TEST_F(RegistryTest, AccessModesAndNames) {
  EXPECT_EQ(OpenError("A\\B", TOOREG_READ), static_cast<int>(ERROR_FILE_NOT_FOUND));  // no store yet
  EXPECT_EQ(OpenError("A\\B", TOOREG_WRITE), static_cast<int>(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(OpenError("A\\B", TOOREG_CREATE), 0);
  EXPECT_EQ(OpenError("a\\b", TOOREG_WRITE), 0);
  for (const char* bad : {"\\A", "A\\", "A\\\\B"}) {
    EXPECT_EQ(OpenError(bad, TOOREG_CREATE), static_cast<int>(ERROR_INVALID_NAME)) << bad;
  }

  CTooRegHLM readOnly("A\\B", TOOREG_READ);
  EXPECT_FALSE(readOnly.SetValue("x", DWORD{1}));
  EXPECT_EQ(GetLastError(), ERROR_ACCESS_DENIED);

  CTooRegHLM reg("A\\B", TOOREG_WRITE);
  for (const char* bad : {"", "..", "a/b", "a\\b"}) {
    EXPECT_FALSE(reg.SetValue(bad, DWORD{1})) << bad;
    EXPECT_EQ(GetLastError(), ERROR_INVALID_NAME);
  }
  EXPECT_FALSE(reg.SetValue("big", nullptr, 4));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(fs::directory_iterator(root_ + "/a/b"), fs::directory_iterator());  // nothing was written
}

TEST_F(RegistryTest, StoreLayoutAndPermissions) {
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
  kdp::SetEnvironmentValue("KEYDEPOT_REGISTRY", other.c_str());
  EXPECT_EQ(OpenError("Keys", TOOREG_READ), static_cast<int>(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(OpenError("Keys", TOOREG_CREATE), 0);
  EXPECT_TRUE(fs::is_directory(other + "/keys"));
}

TEST_F(RegistryTest, InterruptedAndDamagedWritesNeverYieldHalfValues) {
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

TEST_F(RegistryTest, AddValueLetsExactlyOneOfManyProcessesWin) {
  { CTooRegHLM create("Race", TOOREG_CREATE); }
  constexpr int kWriters = 8;
  std::vector<pid_t> children;
  for (int i = 0; i < kWriters; ++i) {
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      CTooRegHLM reg("Race", TOOREG_WRITE);
      const unsigned char mine = static_cast<unsigned char>(i);
      // Each also sets a value of its own: concurrent writers lose nothing.
      const std::string own = "v" + std::to_string(i);
      const bool ok = reg.SetValue(own.c_str(), DWORD(i)) && reg.AddValue("Winner", &mine, 1);
      ::_exit(ok ? 0 : (GetLastError() == ERROR_ALREADY_EXISTS ? 1 : 2));
    }
    children.push_back(pid);
  }
  int winners = 0, losers = 0;
  for (pid_t pid : children) {
    int status = 0;
    ::waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    if (WEXITSTATUS(status) == 0) ++winners;
    if (WEXITSTATUS(status) == 1) ++losers;
  }
  EXPECT_EQ(winners, 1);
  EXPECT_EQ(losers, kWriters - 1);
  CTooRegHLM reg("Race", TOOREG_READ);
  for (int i = 0; i < kWriters; ++i) {
    DWORD v = 99;
    EXPECT_TRUE(reg.GetValueEx(("v" + std::to_string(i)).c_str(), REG_DWORD, &v, sizeof v));
    EXPECT_EQ(v, static_cast<DWORD>(i));
  }
}

// Root passes every permission check, so the refusal is checked in a child
// that has given up root; an ordinary user locks itself out instead.
TEST_F(RegistryTest, AUserWithoutAccessGetsAccessDenied) {
  { CTooRegHLM create("Secret\\Key", TOOREG_CREATE); }
  ::chmod(base_.c_str(), 0755);  // only the store's own permissions stand in the way
  const pid_t pid = ::fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    if (::geteuid() == 0) {
      if (::setgid(65534) != 0 || ::setuid(65534) != 0) ::_exit(100);
    } else {
      ::chmod(root_.c_str(), 0);
    }
    int code = 0;
    try {
      CTooRegHLM reg("Secret\\Key", TOOREG_READ);
    } catch (const XTOORegError& e) {
      code = e.Code();
      if (e.ErrorMessage().find("access denied") == std::string::npos) ::_exit(101);
    }
    ::_exit(code == static_cast<int>(ERROR_ACCESS_DENIED) ? 0 : 102);
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  ::chmod(root_.c_str(), 0700);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
}

}  // namespace
