// A device: IAD_Device, and IAD_KeyStorage / IAD_CryptoDevice when the
// device offers them. The object names its device by key and reads the
// current state on every call, so a device removed or detached after the
// object was handed out answers kDeviceNotConnected.
#include "call.h"
#include "objects.h"

#include "kdplatform/com_object.h"
#include "testcomponent/id_text.h"

#include <algorithm>

namespace kdtc::module {
namespace {

class DeviceObject final : public kdp::ComObject<DeviceObject, IAD_Device, IAD_KeyStorage, IAD_CryptoDevice> {
 public:
  explicit DeviceObject(engine::DeviceKey key) : key_(key) {}

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
    if (object && (iid == IID_IAD_KeyStorage || iid == IID_IAD_CryptoDevice)) {
      const auto device = engine::FindDevice(key_);
      const bool offered = device && (iid == IID_IAD_KeyStorage ? device->keyStorage : device->cryptoDevice);
      if (!offered) {
        *object = nullptr;
        return E_NOINTERFACE;
      }
    }
    return ComObject::QueryInterface(iid, object);
  }

  // --- IAD_Device ---

  // Size-query convention, as IAD_DeviceType::TextToId.
  HRESULT STDMETHODCALLTYPE GetID(DWORD* idSize, BYTE* id) override {
    CallScope call("Device.GetID", key_);
    if (!idSize) return E_POINTER;
    if (call.Failed()) return call.Result();
    const auto device = engine::FindDevice(key_);
    if (!device) return kDeviceNotConnected;
    const auto needed = static_cast<DWORD>(device->id.size());
    if (!id) {
      *idSize = device->reportedIdSize.value_or(needed);
      return call.Finish(S_OK);
    }
    if (*idSize < needed) {
      *idSize = needed;
      return HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER);
    }
    std::copy(device->id.begin(), device->id.end(), id);
    *idSize = needed;
    return call.Finish(S_OK);
  }

  HRESULT STDMETHODCALLTYPE GetIDText(char* text) override {
    return Text("Device.GetIDText", text, AD_ID_TEXT_BUFFER,
                [](const Device& d) { return d.idText ? *d.idText : IdToHex(d.id); });
  }

  HRESULT STDMETHODCALLTYPE GetDeviceType(IAD_DeviceType** out) override {
    CallScope call("Device.GetDeviceType", key_);
    if (!out) return E_POINTER;
    *out = nullptr;
    if (call.Failed()) return call.Result();
    const auto device = engine::FindDevice(key_);
    if (!device) return kDeviceNotConnected;
    *out = NewDeviceType(device->type, key_).detach();
    return call.Finish(S_OK);
  }

  HRESULT STDMETHODCALLTYPE GetDisplayName(char* name) override {
    return Text("Device.GetDisplayName", name, AD_NAME_BUFFER, [](const Device& d) { return d.displayName; });
  }
  HRESULT STDMETHODCALLTYPE GetSystemName(char* name) override {
    return Text("Device.GetSystemName", name, AD_NAME_BUFFER, [](const Device& d) { return d.systemName; });
  }

  HRESULT STDMETHODCALLTYPE Reserved8() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Reserved9() override { return E_NOTIMPL; }

  HRESULT STDMETHODCALLTYPE GetSizeValue(DWORD* value) override {
    return Value("Device.GetSizeValue", value, [](const Device& d) { return d.sizeValue; });
  }
  HRESULT STDMETHODCALLTYPE GetRoom(DWORD* value) override {
    return Value("Device.GetRoom", value, [](const Device& d) { return d.room; });
  }

  HRESULT STDMETHODCALLTYPE PresentPIN(const char* pin) override {
    CallScope call("Device.PresentPIN", key_);
    if (!pin) return E_POINTER;
    if (call.Failed()) return call.Result();
    if (!engine::FindDevice(key_)) return kDeviceNotConnected;
    return engine::PresentPin(key_, pin) ? call.Finish(S_OK) : kPinRefused;
  }

  HRESULT STDMETHODCALLTYPE Reserved13() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Reserved14() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Reserved15() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Reserved16() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Reserved17() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Reserved18() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Reserved19() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Reserved20() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Reserved21() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Reserved22() override { return E_NOTIMPL; }

  // *size: the buffer's size in; the name's size with terminator out.
  HRESULT STDMETHODCALLTYPE GetDefaultContainer(DWORD* size, char* name) override {
    CallScope call("Device.GetDefaultContainer", key_);
    if (!size) return E_POINTER;
    if (call.Failed()) return call.Result();
    const auto device = engine::FindDevice(key_);
    if (!device) return kDeviceNotConnected;
    if (!device->defaultContainer) return kNotFound;
    const auto needed = static_cast<DWORD>(device->defaultContainer->size() + 1);
    if (!name || *size < needed) {
      *size = needed;
      return HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER);
    }
    *size = needed;
    return call.Finish(CopyText(*device->defaultContainer, name, needed));
  }

  // --- IAD_KeyStorage (items) and IAD_CryptoDevice (containers) ---

  HRESULT STDMETHODCALLTYPE Reserved3() override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE Reserved4() override { return E_NOTIMPL; }

  // *count: capacity in; the item's size out. An item that does not fit
  // fills the buffer and reports a count not smaller than the capacity.
  HRESULT STDMETHODCALLTYPE Read(IAD_Device* device, const char* name, BYTE* buffer, DWORD* count) override {
    CallScope call("KeyStorage.Read", key_, name ? name : "");
    if (!device || !name || !count) return E_POINTER;
    if (call.Failed()) return call.Result();
    const auto d = engine::FindDevice(key_);
    if (!d) return kDeviceNotConnected;
    if (!engine::ItemsUnlocked(key_)) return kPinRefused;
    const Bytes* item = FindItem(*d, name);
    if (!item) return kNotFound;
    const DWORD capacity = *count;
    const auto size = static_cast<DWORD>(item->size());
    const DWORD copied = std::min(size, capacity);
    if (copied && !buffer) return E_POINTER;
    std::copy_n(item->begin(), copied, buffer);
    *count = size > capacity && d->overflowReportsCapacity ? capacity : size;
    return call.Finish(S_OK);
  }

  HRESULT STDMETHODCALLTYPE Write(IAD_Device* device, const char* name, const BYTE* data, DWORD* count) override {
    CallScope call("KeyStorage.Write", key_, name ? name : "");
    if (!device || !name || !count || (*count && !data)) return E_POINTER;
    if (call.Failed()) return call.Result();
    if (!engine::FindDevice(key_)) return kDeviceNotConnected;
    if (!engine::ItemsUnlocked(key_)) return kPinRefused;
    return call.Finish(engine::WriteItem(key_, name, Bytes(data, data + *count)));
  }

  HRESULT STDMETHODCALLTYPE Delete(IAD_Device* device, const char* name) override {
    CallScope call("KeyStorage.Delete", key_, name ? name : "");
    if (!device || !name) return E_POINTER;
    if (call.Failed()) return call.Result();
    if (!engine::FindDevice(key_)) return kDeviceNotConnected;
    if (!engine::ItemsUnlocked(key_)) return kPinRefused;
    return call.Finish(engine::DeleteItem(key_, name));
  }

  HRESULT STDMETHODCALLTYPE Exists(IAD_Device* device, const char* name, BOOL* exists) override {
    CallScope call("KeyStorage.Exists", key_, name ? name : "");
    if (!device || !name || !exists) return E_POINTER;
    if (call.Failed()) return call.Result();
    const auto d = engine::FindDevice(key_);
    if (!d) return kDeviceNotConnected;
    if (!engine::ItemsUnlocked(key_)) return kPinRefused;
    *exists = FindItem(*d, name) ? TRUE : FALSE;
    return call.Finish(S_OK);
  }

  HRESULT STDMETHODCALLTYPE EnumItems(IAD_EnumStorageItems** out) override {
    CallScope call("KeyStorage.EnumItems", key_);
    if (!out) return E_POINTER;
    *out = nullptr;
    if (call.Failed()) return call.Result();
    const auto d = engine::FindDevice(key_);
    if (!d) return kDeviceNotConnected;
    if (!engine::ItemsUnlocked(key_)) return kPinRefused;
    std::vector<std::string> names;
    for (const auto& item : d->items) names.push_back(item.first);
    *out = NewStorageItemEnumerator(key_, std::move(names), 0).detach();
    return call.Finish(S_OK);
  }

  // *out stays null, with S_OK, when the container does not exist.
  HRESULT STDMETHODCALLTYPE OpenContainer(IAD_Device* device, const char* name, IAD_Container** out) override {
    CallScope call("CryptoDevice.OpenContainer", key_, name ? name : "");
    if (!device || !name || !out) return E_POINTER;
    *out = nullptr;
    if (call.Failed()) return call.Result();
    const auto d = engine::FindDevice(key_);
    if (!d) return kDeviceNotConnected;
    if (!engine::ItemsUnlocked(key_)) return kPinRefused;
    if (std::find(d->containers.begin(), d->containers.end(), name) != d->containers.end()) {
      *out = NewContainer(key_, name).detach();
    }
    return call.Finish(S_OK);
  }

  HRESULT STDMETHODCALLTYPE EnumContainers(IAD_Device* device, IAD_EnumContainers** out) override {
    CallScope call("CryptoDevice.EnumContainers", key_);
    if (!device || !out) return E_POINTER;
    *out = nullptr;
    if (call.Failed()) return call.Result();
    const auto d = engine::FindDevice(key_);
    if (!d) return kDeviceNotConnected;
    if (!engine::ItemsUnlocked(key_)) return kPinRefused;
    *out = NewContainerEnumerator(key_, d->containers, 0).detach();
    return call.Finish(S_OK);
  }

  HRESULT STDMETHODCALLTYPE GetFlag(IAD_Device* device, int* flag) override {
    CallScope call("CryptoDevice.GetFlag", key_);
    if (!device || !flag) return E_POINTER;
    if (call.Failed()) return call.Result();
    const auto d = engine::FindDevice(key_);
    if (!d) return kDeviceNotConnected;
    *flag = d->cryptoFlag;
    return call.Finish(S_OK);
  }

 private:
  template <class Get>
  HRESULT Text(const char* callName, char* out, std::size_t size, Get get) {
    CallScope call(callName, key_);
    if (!out) return E_POINTER;
    if (call.Failed()) return call.Result();
    const auto device = engine::FindDevice(key_);
    if (!device) return kDeviceNotConnected;
    return call.Finish(CopyText(get(*device), out, size));
  }

  template <class Get>
  HRESULT Value(const char* callName, DWORD* out, Get get) {
    CallScope call(callName, key_);
    if (!out) return E_POINTER;
    if (call.Failed()) return call.Result();
    const auto device = engine::FindDevice(key_);
    if (!device) return kDeviceNotConnected;
    *out = get(*device);
    return call.Finish(S_OK);
  }

  static const Bytes* FindItem(const Device& device, const std::string& name) {
    for (const auto& item : device.items) {
      if (item.first == name) return &item.second;
    }
    return nullptr;
  }

  LiveToken live_{"Device"};
  engine::DeviceKey key_;
};

}  // namespace

ComPtr<IAD_Device> NewDevice(engine::DeviceKey key) { return ComPtr<IAD_Device>::Adopt(new DeviceObject(key)); }

}  // namespace kdtc::module
