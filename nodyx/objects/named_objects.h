// The small objects that only carry a name: key-storage items handed out by
// item enumerators, and containers of crypto devices.
#pragma once

#include "base/com_support.h"
#include "keydepot/ad/component.h"
#include "kdplatform/com_object.h"

#include <string>
#include <vector>

namespace nodyx {

class StorageItem final : public kdp::ComObject<StorageItem, IAD_StorageItem> {
 public:
  explicit StorageItem(std::string name) : name_(std::move(name)) {}
  HRESULT STDMETHODCALLTYPE GetName(char* name) override;

 private:
  const std::string name_;
};

class Container final : public kdp::ComObject<Container, IAD_Container> {
 public:
  explicit Container(std::string name) : name_(std::move(name)) {}
  NODYX_RESERVED_SLOT(3)
  NODYX_RESERVED_SLOT(4)
  NODYX_RESERVED_SLOT(5)
  NODYX_RESERVED_SLOT(6)
  NODYX_RESERVED_SLOT(7)
  NODYX_RESERVED_SLOT(8)
  NODYX_RESERVED_SLOT(9)
  NODYX_RESERVED_SLOT(10)
  NODYX_RESERVED_SLOT(11)
  NODYX_RESERVED_SLOT(12)
  NODYX_RESERVED_SLOT(13)
  NODYX_RESERVED_SLOT(14)
  NODYX_RESERVED_SLOT(15)
  HRESULT STDMETHODCALLTYPE GetName(char* name) override;

 private:
  const std::string name_;
};

// Snapshot enumerators over names, handed out with one reference.
HRESULT EnumerateItems(std::vector<std::string> names, IAD_EnumStorageItems** out);
HRESULT EnumerateContainers(std::vector<std::string> names, IAD_EnumContainers** out);

}  // namespace nodyx
