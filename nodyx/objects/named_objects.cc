#include "objects/named_objects.h"

#include "objects/enumerator.h"
#include "store/names.h"

namespace nodyx {

namespace {

template <class EnumInterface, class ItemInterface, class Item>
HRESULT EnumerateNames(std::vector<std::string> names, EnumInterface** out) {
  using Source = ItemSource<ItemInterface>;
  typename Source::Items items;
  for (auto& name : names) items.push_back(ComPtr<ItemInterface>::Adopt(new Item(std::move(name))));
  return CreateAndQuery<Enumerator<EnumInterface, ItemInterface>>(
      IidOf<EnumInterface>::value, reinterpret_cast<void**>(out), std::make_shared<Source>(std::move(items)));
}

}  // namespace

HRESULT EnumerateItems(std::vector<std::string> names, IAD_EnumStorageItems** out) {
  return EnumerateNames<IAD_EnumStorageItems, IAD_StorageItem, StorageItem>(std::move(names), out);
}

HRESULT EnumerateContainers(std::vector<std::string> names, IAD_EnumContainers** out) {
  return EnumerateNames<IAD_EnumContainers, IAD_Container, Container>(std::move(names), out);
}

HRESULT StorageItem::GetName(char* name) {
  if (name == nullptr) return E_POINTER;
  CopyTruncated(name_, name, AD_NAME_BUFFER);
  return S_OK;
}

HRESULT Container::GetName(char* name) {
  if (name == nullptr) return E_POINTER;
  CopyTruncated(name_, name, AD_NAME_BUFFER);
  return S_OK;
}

}  // namespace nodyx
