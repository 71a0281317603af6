#include <tools2/errors.h>

#include <kdplatform/win32.h>

#include <gtest/gtest.h>

#include <cstdint>

namespace {

TEST(ToolsErrors, EveryWin32CodeSurvivesTheTripThroughTheToolkit) {
  for (std::uint32_t w = 0; w <= 0x2FFFFu; ++w) {
    ASSERT_EQ(TooErr2WinErr(WinErr2ToolsErr(w)), w) << std::hex << w;
  }
  for (std::uint64_t w = 0x30000u; w <= 0xFFFFFFFFu; w += 0x10003u) {
    ASSERT_EQ(TooErr2WinErr(WinErr2ToolsErr(static_cast<DWORD>(w))), w) << std::hex << w;
  }
  for (const DWORD w : {0xFFFFFFFFu, 0x80070057u, 0x80070000u, 0x8000FFFFu, 0x7FFFFFFFu, 0x80000000u}) {
    EXPECT_EQ(TooErr2WinErr(WinErr2ToolsErr(w)), w) << std::hex << w;
  }
}

TEST(ToolsErrors, HResultOfAWin32CodeGivesTheCodeOfThatWin32Code) {
  for (std::uint32_t w = 0; w <= 0xFFFFu; ++w) {
    ASSERT_EQ(HResult2ToolsErr(HRESULT_FROM_WIN32(static_cast<long>(w))), WinErr2ToolsErr(w)) << w;
  }
}

TEST(ToolsErrors, CanonicalCodesSurviveTheTripThroughAnHResult) {
  int canonical = 0;
  for (int c = 0; c <= 0x1FFFF; ++c) {
    if (TooErr2WinErr(c) > 0xFFFFu) {
      continue;  // reached only from Win32 codes above 0xFFFF
    }
    ++canonical;
    const HRESULT hr = TooErr2HResult(c);
    ASSERT_EQ(HResult2ToolsErr(hr), c) << c;
    if (c == 0) {
      ASSERT_EQ(hr, S_OK);
    } else {
      ASSERT_LT(hr, 0) << c;
    }
  }
  EXPECT_EQ(canonical, 0x10000);  // success plus one code per 16-bit Win32 error
  for (const HRESULT hr : {E_FAIL, E_NOINTERFACE, STG_E_FILENOTFOUND, CRYPT_E_FILE_ERROR, E_UNEXPECTED}) {
    EXPECT_EQ(HResult2ToolsErr(TooErr2HResult(hr)), hr);
  }
}

TEST(ToolsErrors, EveryFailureHResultCanBeRecoveredFromItsCode) {
  for (std::uint64_t u = 0x80000000u; u <= 0xFFFFFFFFu; u += 0x1001u) {
    const HRESULT hr = static_cast<HRESULT>(static_cast<std::uint32_t>(u));
    ASSERT_EQ(TooErr2HResult(HResult2ToolsErr(hr)), hr) << std::hex << u;
  }
  for (std::uint32_t u = 0x80070000u; u <= 0x8007FFFFu; ++u) {
    const HRESULT hr = static_cast<HRESULT>(u);
    ASSERT_EQ(TooErr2HResult(HResult2ToolsErr(hr)), hr) << std::hex << u;
  }
  EXPECT_EQ(HResult2ToolsErr(S_OK), 0);
  EXPECT_EQ(HResult2ToolsErr(S_FALSE), 0);
  EXPECT_EQ(HResult2ToolsErr(0x00040301), 0);
}

TEST(ToolsErrors, OwnCodesPairWithTheirWin32Counterparts) {
  struct Pair {
    int own;
    DWORD win;
  };
  const Pair pairs[] = {{TOOERR_FILE_MISSING, ERROR_FILE_NOT_FOUND},
                        {TOOERR_NO_ROOM, ERROR_DISK_FULL},
                        {TOOERR_SHORT_READ, 30u},
                        {TOOERR_SHORT_WRITE, 29u},
                        {TOOERR_OPEN_FAILED, 110u},
                        {TOOERR_FOLDER_NOT_CREATED, 82u},
                        {TOOERR_NOT_OFFERED, ERROR_NOT_SUPPORTED}};
  for (const Pair& p : pairs) {
    EXPECT_EQ(WinErr2ToolsErr(p.win), p.own);
    EXPECT_EQ(TooErr2WinErr(p.own), p.win);
  }
  // Stored codes the library converts back into results.
  EXPECT_EQ(TooErr2HResult(TOOERR_FILE_MISSING), static_cast<HRESULT>(0x80070002u));
  EXPECT_EQ(HResult2ToolsErr(TooErr2HResult(TOOERR_NO_SESSION)), TOOERR_NO_SESSION);
  EXPECT_EQ(WinErr2ToolsErr(0x57), 0x10057);  // ParseFullPath's example: invalid parameter
}

TEST(ToolsErrors, MessagesNameOwnWin32AndHResultCodes) {
  EXPECT_EQ(ToolsErrMessage(TOOERR_FILE_MISSING), "file missing");
  EXPECT_EQ(ToolsErrMessage(0), "no error");
  EXPECT_EQ(ToolsErrMessage(WinErr2ToolsErr(ERROR_ACCESS_DENIED)), "Win32 error 5 (access denied)");
  EXPECT_EQ(ToolsErrMessage(HResult2ToolsErr(E_FAIL)), "failure 0x80004005 (unspecified)");
  EXPECT_EQ(ToolsErrMessage(WinErr2ToolsErr(0xFFFFu)), "Win32 error 65535");
}

}  // namespace
