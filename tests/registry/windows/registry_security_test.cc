// The registry on Windows among other users: keys only administrators read,
// and a value lock nobody else can hold forever.
#include "../registry_test.h"

#include <kdtest/creation_log.h>

#include <chrono>
#include <thread>

namespace {

using kdp::SecuredObject;
using kdp::SecurityRole;

HMODULE Toolkit() { return GetModuleHandleA("tools2.dll"); }

TEST_F(RegistryTest, EveryKeyItCreatesIsAdministratorsOnly) {
  ASSERT_NE(Toolkit(), nullptr);
  const std::string expected = kdtest::ExpectedSddl(SecurityRole::kAdministratorsOnly, SecuredObject::kRegistryKey);
  const kdtest::CreationLog log(Toolkit());
  { CTooRegHLM reg(Key("A\\B").c_str(), TOOREG_CREATE); }
  const auto created = log.Calls("RegCreateKeyExA");
  // Each key on the way is made by name, with the descriptor, the test's own
  // key above them too.
  ASSERT_GE(created.size(), 3u);
  EXPECT_EQ(created[created.size() - 2].name, "A");
  EXPECT_EQ(created.back().name, "B");
  for (const auto& call : created) EXPECT_EQ(call.sddl, expected) << call.name;
  // An existing key is opened; nothing is created.
  { CTooRegHLM again(Key("A\\B").c_str(), TOOREG_CREATE); }
  EXPECT_EQ(log.Calls("RegCreateKeyExA").size(), created.size());
}

TEST_F(RegistryTest, TheValueLockIsTheCreatorsAndWaitsOnlyAFewSeconds) {
  ASSERT_NE(Toolkit(), nullptr);
  const kdtest::CreationLog log(Toolkit());
  CTooRegHLM reg(Key("Lock").c_str(), TOOREG_CREATE);
  ASSERT_TRUE(reg.AddValue("V", "x", 1));
  const auto locks = log.Calls("CreateMutexA");
  ASSERT_EQ(locks.size(), 1u);
  EXPECT_EQ(locks[0].name.rfind("Global\\keydepot-registry-", 0), 0u) << locks[0].name;
  const std::string expected = kdtest::ExpectedSddl(SecurityRole::kOwnerOnly, SecuredObject::kMutex);
  EXPECT_EQ(locks[0].sddl, expected);
  // The system keeps what a named object is made with (Wine too); it may
  // write the generic rights back as the mutex's own.
  EXPECT_EQ(locks[0].kept.rfind("D:P(", 0), 0u) << locks[0].kept;

  // Someone else holds the lock of that value and never lets go.
  ASSERT_TRUE(reg.DelValue("V"));
  HANDLE held = CreateMutexA(nullptr, TRUE, locks[0].name.c_str());
  ASSERT_NE(held, nullptr);
  bool added = true;
  DWORD error = 0;
  const auto start = std::chrono::steady_clock::now();
  std::thread other([&] {
    added = reg.AddValue("V", "x", 1);
    error = GetLastError();
  });
  other.join();
  const auto waited = std::chrono::steady_clock::now() - start;
  ReleaseMutex(held);
  CloseHandle(held);
  EXPECT_FALSE(added);
  EXPECT_EQ(error, static_cast<DWORD>(ERROR_TIMEOUT));
  EXPECT_LT(waited, std::chrono::seconds(30));
  EXPECT_EQ(reg.GetBufferLength("V"), 0u);
  EXPECT_EQ(ToolsErrMessage(WinErr2ToolsErr(ERROR_TIMEOUT)), "Win32 error 1460 (timed out)");
  // Once it is free the value is added.
  EXPECT_TRUE(reg.AddValue("V", "x", 1));
}

}  // namespace
