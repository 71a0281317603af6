// The entry point records the module that holds the library's code; for this
// test program, which links the library's objects, that is the program itself.
#include "ad/own_module.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace keydepot::ad {
namespace {

TEST(OwnModule, RecordedAtLoadAndComponentLiesNextToIt) {
  ASSERT_NE(OwnModule(), nullptr);
  std::string path = "unchanged";
  ASSERT_EQ(GetComponentPath(path), 0u);
  const auto self = std::filesystem::canonical("/proc/self/exe");
  EXPECT_EQ(path, (self.parent_path() / "nodyx.so").string());
}

}  // namespace
}  // namespace keydepot::ad
