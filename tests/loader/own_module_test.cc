// The entry point records the module that holds the library's code; for this
// test program, which links the library's objects, that is the program itself.
#include "ad/own_module.h"

#include <gtest/gtest.h>
#include <kdtest/program.h>

namespace keydepot::ad {
namespace {

TEST(OwnModule, RecordedAtLoadAndComponentLiesNextToIt) {
  ASSERT_NE(detail::OwnModule(), nullptr);
  char path[MAX_PATH] = "unchanged";
  ASSERT_EQ(detail::GetComponentPath(path), 0u);
  EXPECT_EQ(std::string(path), kdtest::ProgramFolder() + KDP_PATH_SEPARATOR + "nodyx" KDP_MODULE_SUFFIX);
}

}  // namespace
}  // namespace keydepot::ad
