// ComPtr: the project's one holder of a counted reference — a COM interface
// or any object with AddRef and Release (the library's CRefCnt objects).
//
// Contract: a ComPtr owns exactly one reference to the object it holds and
// releases it when it is destroyed, reset or assigned. Copying adds a
// reference; moving transfers it; reset(p) and the pointer constructor add
// one to p, Adopt takes over a reference the caller already owns. put() is
// for out-parameters: it releases what is held and hands out the address of
// the empty slot, whose new reference the ComPtr then owns. detach() gives
// the reference to the caller.
#pragma once

#include "kdplatform/com_base.h"

namespace kdp {

template <class T>
class ComPtr {
 public:
  ComPtr() noexcept = default;
  ComPtr(decltype(nullptr)) noexcept {}
  // Takes a new reference to p (AddRef).
  explicit ComPtr(T* p) noexcept : p_(p) {
    if (p_) p_->AddRef();
  }
  ComPtr(const ComPtr& other) noexcept : ComPtr(other.p_) {}
  ComPtr(ComPtr&& other) noexcept : p_(other.detach()) {}
  ~ComPtr() { reset(); }

  ComPtr& operator=(const ComPtr& other) noexcept {
    if (this != &other) ComPtr(other).swap(*this);
    return *this;
  }
  ComPtr& operator=(ComPtr&& other) noexcept {
    if (this != &other) ComPtr(static_cast<ComPtr&&>(other)).swap(*this);
    return *this;
  }
  ComPtr& operator=(decltype(nullptr)) noexcept {
    reset();
    return *this;
  }

  // Adopts a reference the caller already owns (no AddRef).
  static ComPtr Adopt(T* p) noexcept {
    ComPtr r;
    r.p_ = p;
    return r;
  }

  T* get() const noexcept { return p_; }
  T* operator->() const noexcept { return p_; }
  explicit operator bool() const noexcept { return p_ != nullptr; }

  T** put() noexcept {
    reset();
    return &p_;
  }
  void** put_void() noexcept { return reinterpret_cast<void**>(put()); }

  T* detach() noexcept {
    T* p = p_;
    p_ = nullptr;
    return p;
  }

  // Holds a new reference to p (none for null) after dropping the old one.
  void reset(T* p = nullptr) noexcept {
    if (p) p->AddRef();  // first, so that resetting to the held object keeps it alive
    T* old = p_;
    p_ = p;
    if (old) old->Release();
  }

  void swap(ComPtr& other) noexcept {
    T* p = p_;
    p_ = other.p_;
    other.p_ = p;
  }

  // QueryInterface for U (IidOf<U>); returns the call's result. *out is
  // emptied first and holds the new reference on success.
  template <class U>
  HRESULT As(ComPtr<U>* out) const noexcept {
    return As(IidOf<U>::value, out);
  }
  template <class U>
  HRESULT As(REFIID iid, ComPtr<U>* out) const noexcept {
    out->reset();
    if (!p_) return E_POINTER;
    return p_->QueryInterface(iid, out->put_void());
  }

 private:
  T* p_ = nullptr;
};

}  // namespace kdp
