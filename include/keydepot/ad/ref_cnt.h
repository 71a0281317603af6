// CRefCnt: base of the library's own reference-counted objects, which
// ComPtr (kdplatform/com_ptr.h) holds like any counted reference.
//
// The count is plain (not atomic): an object and its holders are used by one
// thread at a time. A new object has count 0; the holder that takes it adds
// the first reference, and the release that brings the count to 0 destroys
// the object through its virtual destructor.
#pragma once

#include "keydepot/export.h"
#include "kdplatform/com_ptr.h"

#include <cstdint>

namespace keydepot {
// The one reference holder (kdplatform/com_ptr.h).
using kdp::ComPtr;
}  // namespace keydepot

namespace keydepot::ad {

class KEYDEPOT_TYPE_API CRefCnt {
 public:
  CRefCnt(const CRefCnt&) = delete;
  CRefCnt& operator=(const CRefCnt&) = delete;
  virtual ~CRefCnt() = default;

  void AddRef() noexcept { ++refCount_; }
  // Destroys the object when the count falls to 0.
  void Release() noexcept {
    if (--refCount_ == 0) delete this;
  }
  std::int32_t RefCount() const noexcept { return refCount_; }

 protected:
  CRefCnt() = default;

 private:
  std::int32_t refCount_ = 0;
};

// The holder of CRefCnt objects is the one reference holder, ComPtr; this
// name stays for callers that use it.
template <class T>
using RefHolder = kdp::ComPtr<T>;

}  // namespace keydepot::ad
