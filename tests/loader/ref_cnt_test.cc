#include "keydepot/ad/ref_cnt.h"

#include <gtest/gtest.h>

namespace keydepot::ad {
namespace {

struct Counted : CRefCnt {
  explicit Counted(int* destroyed) : destroyed_(destroyed) {}
  ~Counted() override { ++*destroyed_; }
  int* destroyed_;
};

TEST(RefHolder, CountsHoldersAndDestroysAtTheLastRelease) {
  int destroyed = 0;
  auto* object = new Counted(&destroyed);
  EXPECT_EQ(object->RefCount(), 0);
  {
    RefHolder<Counted> a(object);
    RefHolder<Counted> b = a;
    EXPECT_EQ(object->RefCount(), 2);
    a.reset();
    EXPECT_EQ(destroyed, 0);
    RefHolder<Counted> c = std::move(b);
    EXPECT_EQ(object->RefCount(), 1);
  }
  EXPECT_EQ(destroyed, 1);
}

TEST(RefHolder, ReplacingDropsTheOldObjectAndSelfAssignmentKeepsIt) {
  int destroyed = 0;
  RefHolder<Counted> h(new Counted(&destroyed));
  const RefHolder<Counted>& self = h;
  h = self;
  h.reset(h.get());
  EXPECT_EQ(destroyed, 0);
  EXPECT_EQ(h->RefCount(), 1);
  h.reset(new Counted(&destroyed));
  EXPECT_EQ(destroyed, 1);
  EXPECT_EQ(h->RefCount(), 1);
}

TEST(RefHolder, AdoptTakesOverTheCallersReference) {
  int destroyed = 0;
  auto* object = new Counted(&destroyed);
  object->AddRef();  // the reference an out pointer delivers
  {
    auto h = RefHolder<Counted>::Adopt(object);
    EXPECT_EQ(object->RefCount(), 1);
  }
  EXPECT_EQ(destroyed, 1);
}

}  // namespace
}  // namespace keydepot::ad
