// A COM enumerator over a list of objects (devices, items, containers).
// Clones share the list and copy the position.
//
// Next follows the COM rules: it returns S_OK when it fetched all that was
// asked for and S_FALSE otherwise, sets *fetched, nulls the array entries it
// did not fill, and accepts a null fetched only for a count of 1. Each
// object handed out carries one reference for the caller.
#pragma once

#include "base/com_support.h"
#include "kdplatform/com_object.h"
#include "kdplatform/com_ptr.h"

#include <functional>
#include <memory>
#include <mutex>
#include <vector>

namespace nodyx {

// The objects an enumerator hands out: a fixed list, optionally followed by
// objects made only when an enumerator first reaches them (a token costs a
// call to its module, and a search may stop before it). Safe to use from
// several threads.
template <class ItemInterface>
class ItemSource {
 public:
  using Items = std::vector<ComPtr<ItemInterface>>;
  // Appends the next objects, if any, to *items; false once nothing is left.
  using More = std::function<bool(Items*)>;

  explicit ItemSource(Items items, More more = nullptr) : items_(std::move(items)), more_(std::move(more)) {}

  // The object at index with one reference for the caller; null past the end.
  ComPtr<ItemInterface> At(std::size_t index) {
    std::lock_guard lock(mutex_);
    while (index >= items_.size() && more_) {
      if (!more_(&items_)) more_ = nullptr;
    }
    return index < items_.size() ? items_[index] : nullptr;
  }

 private:
  std::mutex mutex_;
  Items items_;
  More more_;
};

template <class EnumInterface, class ItemInterface>
class Enumerator final : public kdp::ComObject<Enumerator<EnumInterface, ItemInterface>, EnumInterface> {
 public:
  using Source = ItemSource<ItemInterface>;

  explicit Enumerator(std::shared_ptr<Source> source, std::size_t position = 0)
      : source_(std::move(source)), position_(position) {}

  HRESULT STDMETHODCALLTYPE Next(ULONG count, ItemInterface** out, ULONG* fetched) override {
    if (fetched != nullptr) *fetched = 0;
    if (out == nullptr) return E_POINTER;
    if (fetched == nullptr && count != 1) return E_INVALIDARG;
    std::lock_guard lock(mutex_);
    ULONG got = 0;
    for (; got < count; ++got, ++position_) {
      ComPtr<ItemInterface> item = source_->At(position_);
      if (!item) break;
      out[got] = item.detach();
    }
    for (ULONG i = got; i < count; ++i) out[i] = nullptr;
    if (fetched != nullptr) *fetched = got;
    return got == count ? S_OK : S_FALSE;
  }

  HRESULT STDMETHODCALLTYPE Skip(ULONG count) override {
    std::lock_guard lock(mutex_);
    for (ULONG i = 0; i < count; ++i, ++position_) {
      if (!source_->At(position_)) return S_FALSE;
    }
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
    return CreateAndQuery<Enumerator>(IidOf<EnumInterface>::value, reinterpret_cast<void**>(out), source_, position);
  }

 private:
  const std::shared_ptr<Source> source_;
  std::mutex mutex_;
  std::size_t position_;
};

}  // namespace nodyx
