// Listing containers on devices.
#include "ad/device_location.h"
#include "ad/device_reading.h"
#include "ad/enumeration.h"
#include "keydepot/ad/containers.h"
#include "keydepot/ad/device_path.h"
#include "keydepot/ad/devices.h"

#include <vector>

namespace keydepot::ad {
namespace {

// A success-severity result: a device or container was skipped after an error.
constexpr HRESULT kPartialSuccess = 0x00040301;
constexpr DWORD kContainerNameBuffer = AD_PATH_BUFFER;

// Collects the names an enumerator yields; a name that cannot be read is
// skipped (and reported through onUnreadable).
template <class Enumerator, class Item, class NameOf, class OnUnreadable>
void CollectNames(Enumerator* items, NameOf nameOf, OnUnreadable onUnreadable, std::vector<std::string>& out) {
  ForEachFetched<Item>(items, [&](Item* item) {
    try {
      out.push_back(nameOf(item));
    } catch (long) {
      onUnreadable();
    }
    return true;
  });
}

std::string CryptoItemName(IAD_Container* c) {
  return ReadText<kContainerNameBuffer>([c](char* b) { return c->GetName(b); });
}
std::string StorageItemName(IAD_StorageItem* s) {
  return ReadText<kContainerNameBuffer>([s](char* b) { return s->GetName(b); });
}

struct Interfaces {
  ComPtr<IAD_CryptoDevice> crypto;
  ComPtr<IAD_KeyStorage> storage;
  bool Any() const { return crypto || storage; }
};

Interfaces InterfacesOf(IAD_Device* device) {
  Interfaces found;
  ComPtr<IAD_Device> d(device);
  d.As(&found.crypto);
  if (!found.crypto) d.As(&found.storage);
  return found;
}

// The result of asking whether the container exists; sets exists.
HRESULT ContainerExists(IAD_Device* device, const Interfaces& with, const std::string& name, bool& exists) {
  if (with.crypto) {
    ComPtr<IAD_Container> opened;
    const HRESULT hr = with.crypto->OpenContainer(device, name.c_str(), opened.put());
    exists = SUCCEEDED(hr) && opened;
    return hr;
  }
  BOOL flag = FALSE;
  const HRESULT hr = with.storage->Exists(device, name.c_str(), &flag);
  exists = SUCCEEDED(hr) && flag != FALSE;
  return hr;
}

// One listing: the location's criteria, the caller's options and list, and
// the running result.
class Listing {
 public:
  Listing(const DeviceLocation& where, std::list<std::string>& names, bool fullPaths, bool skipDefault,
          HRESULT started)
      : where_(where), names_(names), fullPaths_(fullPaths), skipDefault_(skipDefault), result_(started) {}

  // Processes one device; false when the listing should stop.
  bool Visit(IAD_Device* device) {
    try {
      if (!DeviceMatches(device, where_)) return true;
      std::string container;
      std::vector<std::string> candidates;
      if (!ChooseContainer(device, container, candidates)) return true;
      for (const std::string& candidate : candidates) Emit(device, candidate);
      return !(!where_.idText.empty() && !container.empty());
    } catch (long) {
      result_ = kPartialSuccess;
      return true;
    }
  }

  HRESULT Result() const { return result_; }

 private:
  // Picks the candidates of one device; false when the device is skipped
  // without a trace (it offers no container interface). container is the
  // name in force afterwards (empty when the device was enumerated).
  bool ChooseContainer(IAD_Device* device, std::string& container, std::vector<std::string>& candidates) {
    // Each device is asked for its own default: a default found on one device
    // says nothing about the next.
    container = where_.containerName;
    bool fromDefault = false;
    if (container.empty() && !skipDefault_) {
      char name[kContainerNameBuffer] = {};
      DWORD size = sizeof name;
      if (SUCCEEDED(device->GetDefaultContainer(&size, name))) {
        name[sizeof name - 1] = '\0';
        container = name;
        fromDefault = true;
      }
    }
    const Interfaces with = InterfacesOf(device);
    if (!container.empty()) {
      const size_t cut = container.find(":.");
      if (cut != std::string::npos) container.erase(cut);
      if (!with.Any()) return false;
      bool exists = false;
      const HRESULT asked = ContainerExists(device, with, container, exists);
      if (exists) {
        candidates.push_back(container);
        return true;
      }
      if (!fromDefault) throw static_cast<long>(FAILED(asked) ? asked : HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
      container.clear();  // a missing default is forgotten
    }
    if (!with.Any()) return false;
    Enumerate(device, with, candidates);
    return true;
  }

  void Enumerate(IAD_Device* device, const Interfaces& with, std::vector<std::string>& candidates) {
    auto unreadable = [this] { result_ = kPartialSuccess; };
    if (with.crypto) {
      ComPtr<IAD_EnumContainers> items;
      detail::ThrowIfFailed(with.crypto->EnumContainers(device, items.put()));
      if (!items) detail::ThrowIfFailed(E_UNEXPECTED);
      items->Reset();
      CollectNames<IAD_EnumContainers, IAD_Container>(items.get(), CryptoItemName, unreadable, candidates);
      return;
    }
    ComPtr<IAD_EnumStorageItems> items;
    detail::ThrowIfFailed(with.storage->EnumItems(items.put()));
    if (!items) detail::ThrowIfFailed(E_UNEXPECTED);
    std::vector<std::string> all;
    CollectNames<IAD_EnumStorageItems, IAD_StorageItem>(items.get(), StorageItemName, unreadable, all);
    for (std::string& name : all)
      if (name != "default") candidates.push_back(std::move(name));
  }

  // Lists one candidate when its device path can be built.
  void Emit(IAD_Device* device, const std::string& candidate) {
    if (candidate.empty()) {
      result_ = kPartialSuccess;
      return;
    }
    try {
      HRESULT made = S_OK;
      std::string path = DevicePathOf(device, candidate, &made);
      result_ = made;
      names_.push_back(fullPaths_ ? std::move(path) : candidate);
    } catch (long) {
      result_ = kPartialSuccess;
    }
  }

  const DeviceLocation& where_;
  std::list<std::string>& names_;
  const bool fullPaths_;
  const bool skipDefault_;
  HRESULT result_;
};

}  // namespace

HRESULT GetDeviceContainerNames(IAD_Device* device, std::list<std::string>& names) {
  if (!device) return E_INVALIDARG;
  try {
    const Interfaces with = InterfacesOf(device);
    std::vector<std::string> found;
    auto ignore = [] {};
    HRESULT result = S_OK;
    if (with.crypto) {
      ComPtr<IAD_EnumContainers> items;
      result = with.crypto->EnumContainers(device, items.put());
      detail::ThrowIfFailed(result);
      if (!items) detail::ThrowIfFailed(E_UNEXPECTED);
      items->Reset();
      CollectNames<IAD_EnumContainers, IAD_Container>(items.get(), CryptoItemName, ignore, found);
    } else if (with.storage) {
      ComPtr<IAD_EnumStorageItems> items;
      result = with.storage->EnumItems(items.put());
      detail::ThrowIfFailed(result);
      if (!items) detail::ThrowIfFailed(E_UNEXPECTED);
      items->Reset();
      CollectNames<IAD_EnumStorageItems, IAD_StorageItem>(items.get(), StorageItemName, ignore, found);
    } else {
      return E_NOINTERFACE;
    }
    names.insert(names.end(), found.begin(), found.end());
    return result;
  } catch (long code) {
    return static_cast<HRESULT>(code);
  }
}

HRESULT GetADContainerNames(DWORD session, const char* location, std::list<std::string>& names, bool fullPaths,
                            bool skipDefault) {
  try {
    DeviceLocation where;
    detail::ThrowIfFailed(SplitDeviceLocation(location, where));
    ComPtr<IAD_EnumDevice> devices;
    const HRESULT started = GetDevicesEnum(session, devices.put());
    detail::ThrowIfFailed(started);

    Listing listing(where, names, fullPaths, skipDefault, started);
    ForEachFetched<IAD_Device>(devices.get(), [&](IAD_Device* device) { return listing.Visit(device); });
    return listing.Result();
  } catch (long code) {
    return static_cast<HRESULT>(code);
  }
}

}  // namespace keydepot::ad
