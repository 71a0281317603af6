// The console's code page while a keydepot program runs: the program writes
// its ANSI code page's text (UTF-8, through its manifest), and a console shows
// it in the console's output code page, which the program sets for its
// lifetime (kdp::ConsoleShowsAnsiText).
#include "kdplatform/terminal.h"

#include <gtest/gtest.h>
#include <windows.h>

namespace {

// Standard output and error lead to `handle` while this lives.
class StandardStreams {
 public:
  explicit StandardStreams(HANDLE handle)
      : output_(GetStdHandle(STD_OUTPUT_HANDLE)), error_(GetStdHandle(STD_ERROR_HANDLE)) {
    SetStdHandle(STD_OUTPUT_HANDLE, handle);
    SetStdHandle(STD_ERROR_HANDLE, handle);
  }
  ~StandardStreams() {
    SetStdHandle(STD_OUTPUT_HANDLE, output_);
    SetStdHandle(STD_ERROR_HANDLE, error_);
  }
  StandardStreams(const StandardStreams&) = delete;
  StandardStreams& operator=(const StandardStreams&) = delete;

 private:
  HANDLE output_, error_;
};

TEST(ConsoleShowsAnsiText, SetsAConsolesOutputCodePageForItsLifetimeAndLeavesFilesAlone) {
  // Each case runs in a process of its own: it may leave the console it was
  // given for one of its own. The C run-time keeps writing to the handles it
  // started with.
  FreeConsole();
  const UINT other = GetACP() == 437 ? 850 : 437;
  if (!AllocConsole() || !SetConsoleOutputCP(other)) {
    // Wine without a display makes a console that takes no calls.
    GTEST_SKIP() << "no console can be made here (Win32 error " << GetLastError() << ")";
  }
  const HANDLE console = CreateFileA("CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                     nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(console, INVALID_HANDLE_VALUE);
  {
    const StandardStreams streams(console);
    {
      const kdp::ConsoleShowsAnsiText shows;
      EXPECT_EQ(GetConsoleOutputCP(), GetACP());
    }
    EXPECT_EQ(GetConsoleOutputCP(), other);
  }
  // Output to a file: the console a program may also have is left as it is.
  const HANDLE file = CreateFileA("NUL", GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  {
    const StandardStreams streams(file);
    const kdp::ConsoleShowsAnsiText shows;
    EXPECT_EQ(GetConsoleOutputCP(), other);
  }
  CloseHandle(file);
  CloseHandle(console);
  FreeConsole();
}

}  // namespace
