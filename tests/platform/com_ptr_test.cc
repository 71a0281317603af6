// ComPtr: every way a reference enters or leaves the holder keeps the count
// balanced, including the orders that are easy to get wrong (resetting to the
// object already held, assigning a holder to itself, put() over a full slot).
#include "kdplatform/com_ptr.h"
#include "kdplatform/win32.h"

#include <gtest/gtest.h>

namespace {

// A counted object that records its count and whether it has been freed, so
// that a test sees an early Release as a freed object rather than a crash.
struct Counted {
  long refs = 1;
  bool freed = false;
  void AddRef() { ++refs; }
  void Release() {
    if (--refs == 0) freed = true;
  }
};

using Holder = kdp::ComPtr<Counted>;

TEST(ComPtr, ConstructionCopyAndMoveBalanceTheCount) {
  Counted object;
  {
    Holder first(&object);
    EXPECT_EQ(object.refs, 2);
    Holder copy = first;
    EXPECT_EQ(object.refs, 3);
    Holder moved = std::move(copy);
    EXPECT_EQ(object.refs, 3);
    EXPECT_FALSE(copy);  // NOLINT(bugprone-use-after-move): a moved-from holder is empty
    Holder assigned;
    assigned = first;
    EXPECT_EQ(object.refs, 4);
    assigned = std::move(moved);
    EXPECT_EQ(object.refs, 3);
  }
  EXPECT_EQ(object.refs, 1);
  EXPECT_FALSE(object.freed);
}

TEST(ComPtr, ResettingOrAssigningToWhatIsHeldKeepsTheObjectAlive) {
  Counted object;
  Holder held = Holder::Adopt(&object);  // the holder owns the only reference
  held.reset(held.get());
  EXPECT_FALSE(object.freed);
  EXPECT_EQ(object.refs, 1);

  Holder& same = held;
  held = same;
  EXPECT_FALSE(object.freed);
  held = std::move(same);
  EXPECT_FALSE(object.freed);
  EXPECT_EQ(object.refs, 1);

  held = nullptr;
  EXPECT_TRUE(object.freed);
}

TEST(ComPtr, OutParameterSlotsAndDetachHandOverExactlyOneReference) {
  Counted first;
  Counted second;
  {
    Holder held(&first);
    Counted** slot = held.put();  // drops the reference to first
    EXPECT_EQ(first.refs, 1);
    ASSERT_EQ(*slot, nullptr);
    *slot = &second;  // a callee hands over a reference it added
    second.AddRef();
    EXPECT_EQ(second.refs, 2);

    Counted* raw = held.detach();
    EXPECT_EQ(raw, &second);
    EXPECT_FALSE(held);
    EXPECT_EQ(second.refs, 2);  // detach gives the reference away, releases nothing
    raw->Release();
  }
  EXPECT_EQ(first.refs, 1);
  EXPECT_EQ(second.refs, 1);
}

// A COM interface whose QueryInterface answers only its own id.
struct IProbe : IUnknown {};
constexpr IID kProbe = {0x51, 0, 0, {0, 0, 0, 0, 0, 0, 0, 0x51}};
constexpr IID kOther = {0x52, 0, 0, {0, 0, 0, 0, 0, 0, 0, 0x52}};

struct Probe : IProbe {
  long refs = 1;
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (!IsEqualIID(iid, kProbe)) {
      *out = nullptr;
      return E_NOINTERFACE;
    }
    AddRef();
    *out = this;
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(++refs); }
  ULONG STDMETHODCALLTYPE Release() override { return static_cast<ULONG>(--refs); }
};

TEST(ComPtr, AsEmptiesItsTargetAndOwnsOnlyWhatTheQueryAdded) {
  Probe probe;
  kdp::ComPtr<IProbe> source(&probe);
  kdp::ComPtr<IProbe> target(&probe);
  EXPECT_EQ(probe.refs, 3);

  // A failed query leaves the target empty: the reference it held is dropped.
  EXPECT_EQ(source.As(kOther, &target), E_NOINTERFACE);
  EXPECT_FALSE(target);
  EXPECT_EQ(probe.refs, 2);

  ASSERT_EQ(source.As(kProbe, &target), S_OK);
  EXPECT_EQ(target.get(), &probe);
  EXPECT_EQ(probe.refs, 3);

  kdp::ComPtr<IProbe> empty;
  EXPECT_EQ(empty.As(kProbe, &target), E_POINTER);
  EXPECT_FALSE(target);
  EXPECT_EQ(probe.refs, 2);
}

}  // namespace
