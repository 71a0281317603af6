// Factories of the test component's objects. Each returns the new object with
// the one reference the caller owns.
#pragma once

#include "testcomponent/engine.h"

#include "keydepot/ad/component.h"

#include <string>
#include <vector>

namespace kdtc::module {

using kdp::ComPtr;

ComPtr<IAD_DeviceMgr> NewDeviceMgr();
ComPtr<IAD_DeviceTypeMgr> NewDeviceTypeMgr();
// `device`: the device the type object was obtained from (0 for the type
// manager's), so that forced results can be scoped to that device.
ComPtr<IAD_DeviceType> NewDeviceType(int type, engine::DeviceKey device);
// The collection that EnumDevices hands out; it is its own IAD_EnumDevice.
ComPtr<IAD_EnumDevice> NewDeviceEnumerator(std::vector<engine::DeviceKey> keys, std::size_t position);
ComPtr<IAD_Device> NewDevice(engine::DeviceKey key);
ComPtr<IAD_Container> NewContainer(engine::DeviceKey device, std::string name);
ComPtr<IAD_StorageItem> NewStorageItem(engine::DeviceKey device, std::string name);
ComPtr<IAD_EnumContainers> NewContainerEnumerator(engine::DeviceKey device, std::vector<std::string> names,
                                                  std::size_t position);
ComPtr<IAD_EnumStorageItems> NewStorageItemEnumerator(engine::DeviceKey device, std::vector<std::string> names,
                                                      std::size_t position);

}  // namespace kdtc::module
