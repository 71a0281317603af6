// What the tool says and returns for the failures devices answer with: a
// busy device is neither missing nor a generic failure, and every device
// failure names its code.
#include "failure.h"

#include <gtest/gtest.h>
#include <tools2/errors.h>

#include <set>

namespace kdcli {
namespace {

constexpr HRESULT kBusyCode = HRESULT_FROM_WIN32(170);
constexpr HRESULT kExpired = HRESULT_FROM_WIN32(1330);
constexpr HRESULT kDeviceFault = HRESULT_FROM_WIN32(1117);
constexpr HRESULT kGone = HRESULT_FROM_WIN32(ERROR_NOT_READY);
constexpr HRESULT kFull = HRESULT_FROM_WIN32(ERROR_DISK_FULL);
constexpr HRESULT kWrong = HRESULT_FROM_WIN32(86);

TEST(DeviceFailureTest, ExitCodesSetBusyAndPinFailuresApart) {
  EXPECT_EQ(ExitCodeFor(kBusyCode), kBusy);
  EXPECT_EQ(ExitCodeFor(kExpired), kPinRefused);
  EXPECT_EQ(ExitCodeFor(kWrong), kPinRefused);
  EXPECT_EQ(ExitCodeFor(kPinLocked), kPinRefused);
  EXPECT_EQ(ExitCodeFor(kGone), kFailed);
  EXPECT_EQ(ExitCodeFor(kDeviceFault), kFailed);
  EXPECT_EQ(ExitCodeFor(HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND)), kNotFound);
}

// The library's storage functions answer STG_E_FILENOTFOUND when no device of
// a DEV|<type>| path's type is attached: not found, as for a missing file.
TEST(DeviceFailureTest, NoDeviceOfTheTypeIsNotFound) {
  EXPECT_EQ(ExitCodeFor(STG_E_FILENOTFOUND), kNotFound);
  try {
    FailWithToolsCode("cannot load DEV|300|k|", HResult2ToolsErr(STG_E_FILENOTFOUND));
  } catch (const Failure& e) {
    EXPECT_EQ(e.code(), kNotFound);
  }
}

TEST(DeviceFailureTest, EachDeviceFailureIsToldInItsOwnWordsWithItsName) {
  const std::pair<HRESULT, const char*> named[] = {
      {kBusyCode, "ERROR_BUSY"},          {kExpired, "ERROR_PASSWORD_EXPIRED"}, {kDeviceFault, "ERROR_IO_DEVICE"},
      {kGone, "ERROR_NOT_READY"},         {kFull, "ERROR_DISK_FULL"},           {kWrong, "ERROR_INVALID_PASSWORD"},
      {kPinLocked, "SCARD_W_CHV_BLOCKED"}};
  std::set<std::string> texts;
  for (const auto& [hr, name] : named) {
    const std::string text = DeviceProblem(hr);
    EXPECT_NE(text.find(name), std::string::npos) << text;
    texts.insert(text);
  }
  EXPECT_EQ(texts.size(), std::size(named));
  EXPECT_EQ(DeviceProblem(E_FAIL), "");
  try {
    FailWithHresult("cannot save x", kBusyCode);
  } catch (const Failure& e) {
    EXPECT_EQ(e.code(), kBusy);
    EXPECT_NE(std::string(e.what()).find("the device is busy"), std::string::npos) << e.what();
  }
}

}  // namespace
}  // namespace kdcli
