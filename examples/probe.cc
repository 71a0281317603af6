// keydepot-probe: loads the access-device component the way the library does
// (from the folder of the code that holds the library) and lists the devices
// its device manager sees.
#include "ad/component_creator.h"
#include "ad/own_module.h"
#include "keydepot/ad/component.h"

#include <cstdio>
#include <string>

namespace {

using keydepot::ad::CComponentCreator;
using keydepot::ad::RefHolder;

template <class T>
ComPtr<T> CreateObject(const std::string& path, const CLSID& classId, RefHolder<CComponentCreator>& creator) {
  T* object = nullptr;
  creator.reset(new CComponentCreator(path.c_str(), classId, IidOf<T>::value, reinterpret_cast<void**>(&object)));
  return ComPtr<T>::Adopt(object);
}

int ListDevices(IAD_DeviceMgr* manager) {
  ComPtr<IUnknown> collection;
  ComPtr<IAD_EnumDevice> devices;
  HRESULT hr = manager->EnumDevices(collection.put());
  if (SUCCEEDED(hr)) hr = collection.As(&devices);
  if (SUCCEEDED(hr)) hr = devices->Reset();
  if (FAILED(hr)) {
    std::fprintf(stderr, "probe: cannot enumerate devices (0x%08X)\n", static_cast<unsigned>(hr));
    return 3;
  }
  int count = 0;
  for (;;) {
    ComPtr<IAD_Device> device;
    ULONG fetched = 0;
    if (devices->Next(1, device.put(), &fetched) != S_OK || fetched != 1) break;
    char idText[AD_PATH_BUFFER] = {};
    char name[AD_NAME_BUFFER] = {};
    char typeName[AD_NAME_BUFFER] = {};
    EAD_DeviceType type = EAD_DeviceType_None;
    ComPtr<IAD_DeviceType> typeObject;
    device->GetIDText(idText);
    device->GetDisplayName(name);
    if (SUCCEEDED(device->GetDeviceType(typeObject.put()))) {
      typeObject->GetType(&type);
      typeObject->GetTypeName(typeName);
    }
    std::printf("  type %d (%s)  id %s  \"%s\"\n", static_cast<int>(type), typeName, idText, name);
    ++count;
  }
  std::printf("%d device(s)\n", count);
  return 0;
}

}  // namespace

int main() {
  std::string path;
  if (DWORD error = keydepot::ad::GetComponentPath(path)) {
    std::fprintf(stderr, "probe: cannot locate the component (Win32 error %u)\n", error);
    return 3;
  }
  std::printf("component: %s\n", path.c_str());
  try {
    RefHolder<CComponentCreator> typeCreator;
    RefHolder<CComponentCreator> managerCreator;
    ComPtr<IAD_DeviceTypeMgr> types = CreateObject<IAD_DeviceTypeMgr>(path, CLSID_ADDeviceTypeMgr, typeCreator);
    ComPtr<IAD_DeviceMgr> manager = CreateObject<IAD_DeviceMgr>(path, CLSID_ADDeviceMgr, managerCreator);
    if (!types || !manager) {
      std::fprintf(stderr, "probe: the component gave no object\n");
      return 3;
    }
    if (HRESULT hr = manager->Initialize(types.get(), false); FAILED(hr)) {
      std::fprintf(stderr, "probe: Initialize failed (0x%08X)\n", static_cast<unsigned>(hr));
      return 3;
    }
    const int rc = ListDevices(manager.get());
    manager->Uninitialize();
    // Objects go before their creators.
    manager.reset();
    types.reset();
    return rc;
  } catch (long code) {
    std::fprintf(stderr, "probe: cannot load the component (0x%08lX)\n", static_cast<unsigned long>(code) & 0xFFFFFFFFul);
    return 3;
  }
}
