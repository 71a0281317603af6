// The device collection handed out by EnumDevices, which is also its own
// IAD_EnumDevice. It walks the devices that were attached when it was made.
#include "call.h"
#include "objects.h"

#include "kdplatform/com_object.h"

namespace kdtc::module {
namespace {

class DeviceEnumerator final : public kdp::ComObject<DeviceEnumerator, IAD_EnumDevice> {
 public:
  DeviceEnumerator(std::vector<engine::DeviceKey> keys, std::size_t position)
      : keys_(std::move(keys)), position_(position) {}

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
    if (object && iid == IID_IAD_EnumDevice && !engine::CollectionAnswersEnumerator()) {
      *object = nullptr;
      return E_NOINTERFACE;
    }
    return ComObject::QueryInterface(iid, object);
  }

  // Forced results are scoped to the device that would come next.
  HRESULT STDMETHODCALLTYPE Next(ULONG count, IAD_Device** devices, ULONG* fetched) override {
    CallScope call("EnumDevice.Next", position_ < keys_.size() ? keys_[position_] : 0);
    if (!devices || (count != 1 && !fetched)) return E_POINTER;
    if (fetched) *fetched = 0;
    if (call.Failed()) return call.Result();
    ULONG got = 0;
    for (; got < count && position_ < keys_.size(); ++got) devices[got] = NewDevice(keys_[position_++]).detach();
    if (fetched) *fetched = engine::NextFetchedCount().value_or(got);
    return call.Finish(got == count ? S_OK : S_FALSE);
  }

  HRESULT STDMETHODCALLTYPE Skip(ULONG count) override {
    CallScope call("EnumDevice.Skip");
    if (call.Failed()) return call.Result();
    const std::size_t left = keys_.size() - position_;
    position_ += std::min<std::size_t>(count, left);
    return call.Finish(count <= left ? S_OK : S_FALSE);
  }

  HRESULT STDMETHODCALLTYPE Reset() override {
    CallScope call("EnumDevice.Reset");
    if (call.Failed()) return call.Result();
    position_ = 0;
    return call.Finish(S_OK);
  }

  HRESULT STDMETHODCALLTYPE Clone(IAD_EnumDevice** out) override {
    CallScope call("EnumDevice.Clone");
    if (!out) return E_POINTER;
    *out = nullptr;
    if (call.Failed()) return call.Result();
    *out = NewDeviceEnumerator(keys_, position_).detach();
    return call.Finish(S_OK);
  }

 private:
  LiveToken live_{"EnumDevice"};
  std::vector<engine::DeviceKey> keys_;
  std::size_t position_;
};

}  // namespace

ComPtr<IAD_EnumDevice> NewDeviceEnumerator(std::vector<engine::DeviceKey> keys, std::size_t position) {
  return ComPtr<IAD_EnumDevice>::Adopt(new DeviceEnumerator(std::move(keys), position));
}

}  // namespace kdtc::module
