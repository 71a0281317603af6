// Containers (IAD_Container, name at slot 16) and storage items
// (IAD_StorageItem, name at slot 3), and the enumerators over them. An
// enumerator walks the names the device held when it was made.
#include "call.h"
#include "objects.h"

#include "kdplatform/com_object.h"

namespace kdtc::module {
namespace {

class Container final : public kdp::ComObject<Container, IAD_Container> {
 public:
  Container(engine::DeviceKey device, std::string name) : device_(device), name_(std::move(name)) {}

  HRESULT STDMETHODCALLTYPE Reserved3() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Reserved4() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Reserved5() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Reserved6() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Reserved7() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Reserved8() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Reserved9() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Reserved10() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Reserved11() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Reserved12() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Reserved13() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Reserved14() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Reserved15() override { return E_NOTIMPL; }

  HRESULT STDMETHODCALLTYPE GetName(char* name) override {
    CallScope call("Container.GetName", device_, name_);
    if (!name) return E_POINTER;
    if (call.Failed()) return call.Result();
    return call.Finish(CopyText(name_, name, AD_NAME_BUFFER));
  }

 private:
  LiveToken live_{"Container"};
  engine::DeviceKey device_;
  std::string name_;
};

class StorageItem final : public kdp::ComObject<StorageItem, IAD_StorageItem> {
 public:
  StorageItem(engine::DeviceKey device, std::string name) : device_(device), name_(std::move(name)) {}

  HRESULT STDMETHODCALLTYPE GetName(char* name) override {
    CallScope call("StorageItem.GetName", device_, name_);
    if (!name) return E_POINTER;
    if (call.Failed()) return call.Result();
    return call.Finish(CopyText(name_, name, AD_NAME_BUFFER));
  }

 private:
  LiveToken live_{"StorageItem"};
  engine::DeviceKey device_;
  std::string name_;
};

// Traits of the two enumerators: interface, item interface, item factory and
// the call and live-object names.
struct ContainerEnumTraits {
  using Enum = IAD_EnumContainers;
  using Item = IAD_Container;
  static constexpr const char* kKind = "EnumContainers";
  static constexpr const char* kNext = "EnumContainers.Next";
  static constexpr const char* kSkip = "EnumContainers.Skip";
  static constexpr const char* kReset = "EnumContainers.Reset";
  static constexpr const char* kClone = "EnumContainers.Clone";
  static ComPtr<Item> MakeItem(engine::DeviceKey d, const std::string& n) { return NewContainer(d, n); }
  static ComPtr<Enum> MakeEnum(engine::DeviceKey d, std::vector<std::string> n, std::size_t p) {
    return NewContainerEnumerator(d, std::move(n), p);
  }
};

struct StorageItemEnumTraits {
  using Enum = IAD_EnumStorageItems;
  using Item = IAD_StorageItem;
  static constexpr const char* kKind = "EnumStorageItems";
  static constexpr const char* kNext = "EnumStorageItems.Next";
  static constexpr const char* kSkip = "EnumStorageItems.Skip";
  static constexpr const char* kReset = "EnumStorageItems.Reset";
  static constexpr const char* kClone = "EnumStorageItems.Clone";
  static ComPtr<Item> MakeItem(engine::DeviceKey d, const std::string& n) { return NewStorageItem(d, n); }
  static ComPtr<Enum> MakeEnum(engine::DeviceKey d, std::vector<std::string> n, std::size_t p) {
    return NewStorageItemEnumerator(d, std::move(n), p);
  }
};

// Forced results on Next are scoped to the device and to the name that would
// come next.
template <class Traits>
class NameEnumerator final : public kdp::ComObject<NameEnumerator<Traits>, typename Traits::Enum> {
  using Item = typename Traits::Item;

 public:
  NameEnumerator(engine::DeviceKey device, std::vector<std::string> names, std::size_t position)
      : device_(device), names_(std::move(names)), position_(position) {}

  HRESULT STDMETHODCALLTYPE Next(ULONG count, Item** items, ULONG* fetched) override {
    CallScope call(Traits::kNext, device_, position_ < names_.size() ? names_[position_] : std::string());
    if (!items || (count != 1 && !fetched)) return E_POINTER;
    if (fetched) *fetched = 0;
    if (call.Failed()) return call.Result();
    ULONG got = 0;
    for (; got < count && position_ < names_.size(); ++got) {
      items[got] = Traits::MakeItem(device_, names_[position_++]).detach();
    }
    if (fetched) *fetched = got;
    return call.Finish(got == count ? S_OK : S_FALSE);
  }

  HRESULT STDMETHODCALLTYPE Skip(ULONG count) override {
    CallScope call(Traits::kSkip, device_);
    if (call.Failed()) return call.Result();
    const std::size_t left = names_.size() - position_;
    position_ += std::min<std::size_t>(count, left);
    return call.Finish(count <= left ? S_OK : S_FALSE);
  }

  HRESULT STDMETHODCALLTYPE Reset() override {
    CallScope call(Traits::kReset, device_);
    if (call.Failed()) return call.Result();
    position_ = 0;
    return call.Finish(S_OK);
  }

  HRESULT STDMETHODCALLTYPE Clone(typename Traits::Enum** out) override {
    CallScope call(Traits::kClone, device_);
    if (!out) return E_POINTER;
    *out = nullptr;
    if (call.Failed()) return call.Result();
    *out = Traits::MakeEnum(device_, names_, position_).detach();
    return call.Finish(S_OK);
  }

 private:
  LiveToken live_{Traits::kKind};
  engine::DeviceKey device_;
  std::vector<std::string> names_;
  std::size_t position_;
};

}  // namespace

ComPtr<IAD_Container> NewContainer(engine::DeviceKey device, std::string name) {
  return ComPtr<IAD_Container>::Adopt(new Container(device, std::move(name)));
}

ComPtr<IAD_StorageItem> NewStorageItem(engine::DeviceKey device, std::string name) {
  return ComPtr<IAD_StorageItem>::Adopt(new StorageItem(device, std::move(name)));
}

ComPtr<IAD_EnumContainers> NewContainerEnumerator(engine::DeviceKey device, std::vector<std::string> names,
                                                  std::size_t position) {
  return ComPtr<IAD_EnumContainers>::Adopt(new NameEnumerator<ContainerEnumTraits>(device, std::move(names), position));
}

ComPtr<IAD_EnumStorageItems> NewStorageItemEnumerator(engine::DeviceKey device, std::vector<std::string> names,
                                                      std::size_t position) {
  return ComPtr<IAD_EnumStorageItems>::Adopt(
      new NameEnumerator<StorageItemEnumTraits>(device, std::move(names), position));
}

}  // namespace kdtc::module
