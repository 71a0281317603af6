#include "device_mgr.h"

#include "device.h"
#include "objects/enumerator.h"
#include "pkcs11/token_device.h"
#include "store/device_types.h"
#include "kdplatform/return_if_failed.h"

namespace nodyx {

namespace {

using DeviceSource = ItemSource<IAD_Device>;

// Reads the tokens of the slots one at a time, as an enumerator reaches them.
DeviceSource::More TokensOf(std::vector<pkcs11::SlotRef> slots) {
  return [slots = std::move(slots), next = std::size_t{0}](DeviceSource::Items* items) mutable noexcept {
    if (next == slots.size()) return false;
    try {
      pkcs11::Token token;
      const auto& [module, slot] = slots[next++];
      if (pkcs11::ReadToken(module, slot, &token)) {
        items->push_back(ComPtr<IAD_Device>::Adopt(new pkcs11::TokenDevice(std::move(token))));
      }
      return true;
    } catch (...) {
      return false;  // out of memory: the list ends here
    }
  };
}

bool SameEntry(const DeviceStore::Entry& a, const DeviceStore::Entry& b) {
  return a.folder == b.folder && a.record.type == b.record.type && a.record.id == b.record.id;
}

template <class Entry, class Same>
bool Contains(const std::vector<Entry>& entries, const Entry& wanted, Same same) {
  for (const auto& e : entries) {
    if (same(e, wanted)) return true;
  }
  return false;
}

// The entries of `from` that `other` lacks, as new device objects.
template <class Entry, class Same, class Make>
void Missing(const std::vector<Entry>& from, const std::vector<Entry>& other, Same same, Make make,
             std::vector<ComPtr<IAD_Device>>* devices) {
  for (const auto& entry : from) {
    if (!Contains(other, entry, same)) devices->push_back(ComPtr<IAD_Device>::Adopt(make(entry)));
  }
}

}  // namespace

bool DeviceMgr::TypeEnabled(std::int32_t type) const {
  return !filter_ || filter_->IsTypeEnabled(static_cast<EAD_DeviceType>(type));
}

std::vector<DeviceStore::Entry> DeviceMgr::VisibleDevices() const {
  std::vector<DeviceStore::Entry> visible;
  for (auto& entry : store_->Scan(nullptr, &scanMemo_)) {
    if (entry.record.detached || !TypeEnabled(entry.record.type)) continue;
    visible.push_back(std::move(entry));
  }
  return visible;
}

std::vector<pkcs11::SlotRef> DeviceMgr::VisibleSlots() {
  // A filter that hides tokens spares loading any module.
  if (!TypeEnabled(kPkcs11TokenType)) return {};
  if (!modules_) modules_ = pkcs11::ModuleSet::Acquire();
  return pkcs11::ListSlots(*modules_);
}

std::vector<pkcs11::Token> DeviceMgr::VisibleTokens() {
  std::vector<pkcs11::Token> tokens;
  for (const auto& [module, slot] : VisibleSlots()) {
    pkcs11::Token token;
    if (pkcs11::ReadToken(module, slot, &token)) tokens.push_back(std::move(token));
  }
  return tokens;
}

DeviceMgr::~DeviceMgr() {
  if (initialized_) pkcs11::ModuleSet::KeepUntilExit(std::move(modules_));
  EndLogins(&logins_);
}

void DeviceMgr::EndLogins(Logins* logins) {
  for (const auto& [device, login] : *logins) login->End();
  logins->clear();
}

Device* DeviceMgr::NewDevice(DeviceStore::Entry entry) {
  std::string key = entry.folder;
  key.push_back('\0');  // folder names hold no NUL
  key.append(entry.record.id.begin(), entry.record.id.end());
  auto& login = logins_[std::move(key)];
  if (!login) login = std::make_shared<PinLogin>();
  return new Device(*store_, std::move(entry.folder), std::move(entry.record), std::move(entry.stamp), login);
}

HRESULT DeviceMgr::Initialize(IAD_DeviceTypeMgr* typeMgr, bool /*flag*/) {
  return Guarded([&] {
    std::lock_guard lock(mutex_);
    if (initialized_) return HRESULT_FROM_WIN32(ERROR_ALREADY_INITIALIZED);
    std::string root;
    KD_RETURN_IF_FAILED(DeviceStore::DefaultRoot(&root));
    store_.emplace(root);
    typeMgr_ = ComPtr<IAD_DeviceTypeMgr>(typeMgr);
    if (typeMgr_) typeMgr_.As(&filter_);  // another component's manager filters nothing
    seen_ = VisibleDevices();
    seenTokens_ = VisibleTokens();
    initialized_ = true;
    return S_OK;
  });
}

HRESULT DeviceMgr::Uninitialize() {
  std::map<DWORD, ComPtr<_IAD_DeviceMgrEvents>> sinks;
  ComPtr<IAD_DeviceTypeMgr> typeMgr;
  ComPtr<INodyxTypeFilter> filter;
  std::shared_ptr<const pkcs11::ModuleSet> modules;
  std::vector<pkcs11::Token> tokens;
  {
    std::lock_guard lock(mutex_);
    if (!initialized_) return S_FALSE;
    initialized_ = false;
    EndLogins(&logins_);
    // Released after the lock: a sink's last release may run its code, and
    // the modules' last release finalises them.
    sinks.swap(sinks_);
    typeMgr.swap(typeMgr_);
    filter.swap(filter_);
    modules.swap(modules_);
    tokens.swap(seenTokens_);
    seen_.clear();
    scanMemo_ = {};
    store_.reset();
  }
  return S_OK;
}

HRESULT DeviceMgr::Refresh() {
  return Guarded([&] {
    std::vector<ComPtr<IAD_Device>> arrived, removed;
    std::vector<ComPtr<_IAD_DeviceMgrEvents>> sinks;
    {
      std::lock_guard lock(mutex_);
      if (!initialized_) return E_UNEXPECTED;
      auto now = VisibleDevices();
      const auto device = [this](const DeviceStore::Entry& e) { return NewDevice(e); };
      Missing(seen_, now, SameEntry, device, &removed);
      Missing(now, seen_, SameEntry, device, &arrived);
      seen_ = std::move(now);
      auto tokensNow = VisibleTokens();
      const auto token = [](const pkcs11::Token& t) { return new pkcs11::TokenDevice(t); };
      Missing(seenTokens_, tokensNow, pkcs11::SameToken, token, &removed);
      Missing(tokensNow, seenTokens_, pkcs11::SameToken, token, &arrived);
      seenTokens_ = std::move(tokensNow);
      for (const auto& [cookie, sink] : sinks_) sinks.push_back(sink);
    }
    for (const auto& sink : sinks) {
      for (const auto& device : removed) sink->DeviceRemoved(device.get());
      for (const auto& device : arrived) sink->DeviceArrived(device.get());
    }
    return S_OK;
  });
}

HRESULT DeviceMgr::EnumDevices(IUnknown** collection) {
  if (collection == nullptr) return E_POINTER;
  *collection = nullptr;
  return Guarded([&] {
    DeviceSource::Items items;
    std::vector<pkcs11::SlotRef> slots;
    {
      std::lock_guard lock(mutex_);
      if (!initialized_) return E_UNEXPECTED;
      for (auto& entry : VisibleDevices()) {
        items.push_back(ComPtr<IAD_Device>::Adopt(NewDevice(std::move(entry))));
      }
      slots = VisibleSlots();
    }
    // The enumerator is its own collection: it answers IAD_EnumDevice.
    return CreateAndQuery<Enumerator<IAD_EnumDevice, IAD_Device>>(
        IID_IUnknown, reinterpret_cast<void**>(collection),
        std::make_shared<DeviceSource>(std::move(items), TokensOf(std::move(slots))));
  });
}

HRESULT DeviceMgr::Advise(_IAD_DeviceMgrEvents* sink, DWORD* cookie) {
  if (cookie != nullptr) *cookie = 0;
  if (sink == nullptr || cookie == nullptr) return E_POINTER;
  return Guarded([&] {
    std::lock_guard lock(mutex_);
    DWORD value = nextCookie_++;
    if (value == 0) value = nextCookie_++;  // 0 means "no connection"
    sinks_.emplace(value, ComPtr<_IAD_DeviceMgrEvents>(sink));
    *cookie = value;
    return S_OK;
  });
}

HRESULT DeviceMgr::Unadvise(DWORD cookie) {
  ComPtr<_IAD_DeviceMgrEvents> sink;
  {
    std::lock_guard lock(mutex_);
    const auto it = sinks_.find(cookie);
    if (it == sinks_.end()) return CONNECT_E_NOCONNECTION;
    sink = std::move(it->second);
    sinks_.erase(it);
  }
  return S_OK;
}

}  // namespace nodyx
