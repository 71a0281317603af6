// Classifying the storage a full storage path names.
#include "keydepot/ad/devices.h"
#include "keydepot/ad/session.h"
#include "keydepot/storage_path.h"
#include "kdplatform/return_if_failed.h"

#include "kdplatform/win32.h"

namespace keydepot {

HRESULT GetStorageType(const char* path, eStorageType& type) {
  if (!path) {
    type = StorageNone;
    return S_OK;
  }
  bool isDevice = true;
  ParseFullPath(path, &isDevice, nullptr, nullptr, nullptr);  // a failed parse still goes on to the lookup
  if (!isDevice) {
    type = StorageFolder;
    return S_OK;
  }

  try {
    ad::Session session(nullptr);  // the shared silent session, closed on every way out
    ComPtr<IAD_Device> device;
    const HRESULT found = ad::FindDeviceByPath(session, path, device.put());
    KD_RETURN_IF_FAILED(found);

    ComPtr<IAD_CryptoDevice> crypto;
    device.As(&crypto);  // only the pointer counts
    if (!crypto) {
      type = StorageDevice;
      return found;
    }
    type = StorageCryptoDevice;
    int flag = 0;
    const HRESULT flagged = crypto->GetFlag(device.get(), &flag);
    KD_RETURN_IF_FAILED(flagged);
    if (flag != 0) type = StorageCryptoDeviceFlagged;
    return flagged;
  } catch (long code) {
    return static_cast<HRESULT>(code);
  }
}

}  // namespace keydepot
