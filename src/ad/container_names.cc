// Listing containers on devices.
#include "ad/device_location.h"
#include "ad/device_reading.h"
#include "ad/enumeration.h"
#include "keydepot/ad/containers.h"
#include "keydepot/ad/device_path.h"
#include "keydepot/ad/devices.h"
#include "kdplatform/return_if_failed.h"

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
  detail::ForEachFetched<Item>(items, [&](Item* item) {
    std::string name;
    if (FAILED(nameOf(item, name))) {
      onUnreadable();
    } else {
      out.push_back(std::move(name));
    }
    return true;
  });
}

HRESULT CryptoItemName(IAD_Container* c, std::string& name) {
  return detail::ReadText<kContainerNameBuffer>([c](char* b) { return c->GetName(b); }, name);
}
HRESULT StorageItemName(IAD_StorageItem* s, std::string& name) {
  return detail::ReadText<kContainerNameBuffer>([s](char* b) { return s->GetName(b); }, name);
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
  Listing(const detail::DeviceLocation& where, std::list<std::string>& names, bool fullPaths, bool skipDefault,
          HRESULT started)
      : where_(where), names_(names), fullPaths_(fullPaths), skipDefault_(skipDefault), result_(started) {}

  // Processes one device; false when the listing should stop.
  bool Visit(IAD_Device* device) {
    bool matches = false;
    if (FAILED(detail::DeviceMatches(device, where_, matches))) return Skip();
    if (!matches) return true;
    std::string container;
    std::vector<std::string> candidates;
    bool offered = false;
    if (FAILED(ChooseContainer(device, container, candidates, offered))) return Skip();
    if (!offered) return true;
    for (const std::string& candidate : candidates) Emit(device, candidate);
    return !(!where_.idText.empty() && !container.empty());
  }

  HRESULT Result() const { return result_; }

 private:
  // A device abandoned after an error: the listing notes it and goes on.
  bool Skip() {
    result_ = kPartialSuccess;
    return true;
  }

  // Picks the candidates of one device; offered is false when the device is
  // skipped without a trace (it offers no container interface). container is
  // the name in force afterwards (empty when the device was enumerated).
  HRESULT ChooseContainer(IAD_Device* device, std::string& container, std::vector<std::string>& candidates,
                          bool& offered) {
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
      if (!with.Any()) return S_OK;
      bool exists = false;
      const HRESULT asked = ContainerExists(device, with, container, exists);
      if (exists) {
        candidates.push_back(container);
        offered = true;
        return S_OK;
      }
      if (!fromDefault) return FAILED(asked) ? asked : HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
      container.clear();  // a missing default is forgotten
    }
    if (!with.Any()) return S_OK;
    KD_RETURN_IF_FAILED(Enumerate(device, with, candidates));
    offered = true;
    return S_OK;
  }

  HRESULT Enumerate(IAD_Device* device, const Interfaces& with, std::vector<std::string>& candidates) {
    auto unreadable = [this] { result_ = kPartialSuccess; };
    if (with.crypto) {
      ComPtr<IAD_EnumContainers> items;
      KD_RETURN_IF_FAILED(with.crypto->EnumContainers(device, items.put()));
      if (!items) return E_UNEXPECTED;
      items->Reset();
      CollectNames<IAD_EnumContainers, IAD_Container>(items.get(), CryptoItemName, unreadable, candidates);
      return S_OK;
    }
    ComPtr<IAD_EnumStorageItems> items;
    KD_RETURN_IF_FAILED(with.storage->EnumItems(items.put()));
    if (!items) return E_UNEXPECTED;
    std::vector<std::string> all;
    CollectNames<IAD_EnumStorageItems, IAD_StorageItem>(items.get(), StorageItemName, unreadable, all);
    for (std::string& name : all)
      if (name != "default") candidates.push_back(std::move(name));
    return S_OK;
  }

  // Lists one candidate when its device path can be built.
  void Emit(IAD_Device* device, const std::string& candidate) {
    if (candidate.empty()) {
      result_ = kPartialSuccess;
      return;
    }
    std::string path;
    const HRESULT made = detail::DevicePathOf(device, candidate, path);
    if (FAILED(made)) {
      result_ = kPartialSuccess;
      return;
    }
    result_ = made;
    names_.push_back(fullPaths_ ? std::move(path) : candidate);
  }

  const detail::DeviceLocation& where_;
  std::list<std::string>& names_;
  const bool fullPaths_;
  const bool skipDefault_;
  HRESULT result_;
};

}  // namespace

HRESULT GetDeviceContainerNames(IAD_Device* device, std::list<std::string>& names) {
  if (!device) return E_INVALIDARG;
  const Interfaces with = InterfacesOf(device);
  std::vector<std::string> found;
  auto ignore = [] {};
  HRESULT result = S_OK;
  if (with.crypto) {
    ComPtr<IAD_EnumContainers> items;
    result = with.crypto->EnumContainers(device, items.put());
    KD_RETURN_IF_FAILED(result);
    if (!items) return E_UNEXPECTED;
    items->Reset();
    CollectNames<IAD_EnumContainers, IAD_Container>(items.get(), CryptoItemName, ignore, found);
  } else if (with.storage) {
    ComPtr<IAD_EnumStorageItems> items;
    result = with.storage->EnumItems(items.put());
    KD_RETURN_IF_FAILED(result);
    if (!items) return E_UNEXPECTED;
    items->Reset();
    CollectNames<IAD_EnumStorageItems, IAD_StorageItem>(items.get(), StorageItemName, ignore, found);
  } else {
    return E_NOINTERFACE;
  }
  names.insert(names.end(), found.begin(), found.end());
  return result;
}

HRESULT GetADContainerNames(DWORD session, const char* location, std::list<std::string>& names, bool fullPaths,
                            bool skipDefault) {
  try {
    detail::DeviceLocation where;
    KD_RETURN_IF_FAILED(detail::SplitDeviceLocation(location, where));
    ComPtr<IAD_EnumDevice> devices;
    const HRESULT started = GetDevicesEnum(session, devices.put());
    KD_RETURN_IF_FAILED(started);

    Listing listing(where, names, fullPaths, skipDefault, started);
    detail::ForEachFetched<IAD_Device>(devices.get(), [&](IAD_Device* device) { return listing.Visit(device); });
    return listing.Result();
  } catch (long code) {  // a device-type filter that cannot be opened
    return static_cast<HRESULT>(code);
  }
}

}  // namespace keydepot::ad
