// A COM enumerator over a fixed snapshot of objects (devices, items,
// containers). Clones share the snapshot and copy the position.
//
// Next follows the COM rules: it returns S_OK when it fetched all that was
// asked for and S_FALSE otherwise, sets *fetched, nulls the array entries it
// did not fill, and accepts a null fetched only for a count of 1. Each
// object handed out carries one reference for the caller.
#pragma once

#include "com_support.h"
#include "kdplatform/com_object.h"
#include "kdplatform/com_ptr.h"

#include <memory>
#include <mutex>
#include <vector>

namespace nodyx {

template <class EnumInterface, class ItemInterface>
class Enumerator final : public kdp::ComObject<Enumerator<EnumInterface, ItemInterface>, EnumInterface> {
 public:
  using Items = std::vector<ComPtr<ItemInterface>>;

  explicit Enumerator(std::shared_ptr<const Items> items, std::size_t position = 0)
      : items_(std::move(items)), position_(position) {}

  HRESULT STDMETHODCALLTYPE Next(ULONG count, ItemInterface** out, ULONG* fetched) override {
    if (fetched != nullptr) *fetched = 0;
    if (out == nullptr) return E_POINTER;
    if (fetched == nullptr && count != 1) return E_INVALIDARG;
    std::lock_guard lock(mutex_);
    ULONG got = 0;
    for (; got < count && position_ < items_->size(); ++got, ++position_) {
      out[got] = (*items_)[position_].get();
      out[got]->AddRef();
    }
    for (ULONG i = got; i < count; ++i) out[i] = nullptr;
    if (fetched != nullptr) *fetched = got;
    return got == count ? S_OK : S_FALSE;
  }

  HRESULT STDMETHODCALLTYPE Skip(ULONG count) override {
    std::lock_guard lock(mutex_);
    const std::size_t left = items_->size() - position_;
    if (count > left) {
      position_ = items_->size();
      return S_FALSE;
    }
    position_ += count;
    return S_OK;
  }

  HRESULT STDMETHODCALLTYPE Reset() override {
    std::lock_guard lock(mutex_);
    position_ = 0;
    return S_OK;
  }

  HRESULT STDMETHODCALLTYPE Clone(EnumInterface** out) override {
    std::size_t position;
    {
      std::lock_guard lock(mutex_);
      position = position_;
    }
    return CreateAndQuery<Enumerator>(IidOf<EnumInterface>::value, reinterpret_cast<void**>(out), items_, position);
  }

 private:
  const std::shared_ptr<const Items> items_;
  std::mutex mutex_;
  std::size_t position_;
};

}  // namespace nodyx
