// The IUnknown part that every COM object of the project inherits.
#include "kdplatform/com_object.h"
#include "kdplatform/com_ptr.h"

#include <gtest/gtest.h>

namespace {

struct IFirst : IUnknown {
  virtual int First() = 0;
};
struct ISecond : IUnknown {
  virtual int Second() = 0;
};
constexpr IID kFirst = {1, 0, 0, {0, 0, 0, 0, 0, 0, 0, 1}};
constexpr IID kSecond = {2, 0, 0, {0, 0, 0, 0, 0, 0, 0, 2}};
constexpr IID kExtra = {3, 0, 0, {0, 0, 0, 0, 0, 0, 0, 3}};

}  // namespace

KDP_DECLARE_IID(IFirst, kFirst);
KDP_DECLARE_IID(ISecond, kSecond);

namespace {

using kdp::ComPtr;

struct Object : kdp::ComObject<Object, IFirst, ISecond> {
  int First() override { return 1; }
  int Second() override { return 2; }
  // Answers one more id through the hook, as the same IFirst pointer.
  HRESULT QueryOtherInterface(REFIID iid, void** out) {
    if (!IsEqualIID(iid, kExtra)) return E_NOINTERFACE;
    *out = static_cast<IFirst*>(this);
    return S_OK;
  }
};

TEST(ComObject, EveryAnsweredInterfaceCarriesOneReference) {
  const long before = kdp::ModuleObjectCount();
  IFirst* object = new Object;
  EXPECT_EQ(kdp::ModuleObjectCount(), before + 1);
  {
    ComPtr<IFirst> first = ComPtr<IFirst>::Adopt(object);
    ComPtr<ISecond> second;
    ASSERT_EQ(first.As(&second), S_OK);
    EXPECT_EQ(second->Second(), 2);
    ComPtr<IUnknown> unknown, viaSecond;
    ASSERT_EQ(first.As(IID_IUnknown, &unknown), S_OK);
    ASSERT_EQ(second.As(IID_IUnknown, &viaSecond), S_OK);
    EXPECT_EQ(viaSecond.get(), unknown.get());  // one identity behind every interface
    ComPtr<IUnknown> extra;
    ASSERT_EQ(first.As(kExtra, &extra), S_OK);  // through the hook
    EXPECT_EQ(object->AddRef(), 6u);
    object->Release();

    void* none = reinterpret_cast<void*>(0x1);
    EXPECT_EQ(object->QueryInterface(IID_IPersistFile, &none), E_NOINTERFACE);
    EXPECT_EQ(none, nullptr);
    EXPECT_EQ(object->QueryInterface(kFirst, nullptr), E_POINTER);
  }
  EXPECT_EQ(kdp::ModuleObjectCount(), before);  // the last Release deleted it
}

}  // namespace
