// CRefCnt: base of the library's own reference-counted objects, and
// RefHolder, the small holder that keeps one counted reference.
//
// The count is plain (not atomic): an object and its holders are used by one
// thread at a time. A new object has count 0; the holder that takes it adds
// the first reference, and the release that brings the count to 0 destroys
// the object through its virtual destructor.
#pragma once

#include "keydepot/export.h"

#include <cstdint>
#include <utility>

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

// Holds one counted reference to a CRefCnt-derived object. Assigning an object
// drops the old reference first, then adds one to the new object; Adopt takes
// over a reference that the caller already owns (an object delivered through
// an out pointer with the caller's reference).
template <class T>
class RefHolder {
 public:
  RefHolder() noexcept = default;
  explicit RefHolder(T* p) noexcept { reset(p); }
  RefHolder(const RefHolder& other) noexcept { reset(other.p_); }
  RefHolder(RefHolder&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
  ~RefHolder() { reset(); }

  RefHolder& operator=(const RefHolder& other) noexcept {
    reset(other.p_);
    return *this;
  }
  RefHolder& operator=(RefHolder&& other) noexcept {
    if (this != &other) {
      reset();
      p_ = std::exchange(other.p_, nullptr);
    }
    return *this;
  }

  static RefHolder Adopt(T* p) noexcept {
    RefHolder h;
    h.p_ = p;
    return h;
  }

  void reset(T* p = nullptr) noexcept {
    if (p == p_) return;
    if (T* old = std::exchange(p_, nullptr)) old->Release();
    p_ = p;
    if (p_) p_->AddRef();
  }

  T* get() const noexcept { return p_; }
  T* operator->() const noexcept { return p_; }
  explicit operator bool() const noexcept { return p_ != nullptr; }

 private:
  T* p_ = nullptr;
};

}  // namespace keydepot::ad
