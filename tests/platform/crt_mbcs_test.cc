// Multibyte comparison of what is not text: held to the C run-time's own on
// Windows and to the platform layer's on Linux. How the layer compares and
// lower-cases UTF-8 is Linux's own (posix/).
#include "mbcs_text.h"

#include <gtest/gtest.h>

#include <cerrno>

namespace {

using kdtest::ICmp;

TEST(MbsICmp, NullArguments) {
  errno = 0;
  EXPECT_EQ(ICmp(nullptr, "a"), _NLSCMPERROR);
  EXPECT_EQ(errno, EINVAL);
  EXPECT_EQ(ICmp("a", nullptr), _NLSCMPERROR);
  EXPECT_EQ(_mbscmp(nullptr, nullptr), _NLSCMPERROR);
}

}  // namespace
