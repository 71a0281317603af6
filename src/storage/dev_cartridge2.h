// DevCartridge2: an item in a container on one device, named by a device
// path. location is the whole device path, item its container name. After a
// write or a delete it tells the interactive session's device manager
// (Refresh) that the device changed.
#pragma once

#include "keydepot/ad/component.h"
#include "storage/cartridge.h"

#include <functional>

namespace keydepot {

class DevCartridge2 final : public Cartridge {
 public:
  // True only when the stored record's length matches the bytes read; the
  // last-error store then holds ReadRecord's code (0 after a good read).
  bool Load(CertInfo* record) override;
  // The stored bytes whole, length prefix included; true when not empty.
  bool LoadVpn2Pass(CertInfo* record) override;
  bool Save(const CertInfo* record) override;
  DWORD GetSize(CertInfo* record) override;
  // Falls back to the device's containers when it has no item storage.
  bool IsExist(const CertInfo* record) override;
  bool Clear(const CertInfo* record) override;
  // A name for the device from its type object; no session, no lookup, no
  // last-error store. A failing device-type filter throws `long`.
  std::string GetStorageName() override;
  IdentObj GetDeviceID(const char* path) override;
  unsigned long ReadRecord(CertInfo* record, RecordBuffer& buffer, unsigned long& count) override;

  // The device the device path names, in session.
  HRESULT Find(DWORD session, ComPtr<IAD_Device>& device) const;

 private:
  std::function<HRESULT(DWORD, ComPtr<IAD_Device>&)> Finder() const {
    return [this](DWORD session, ComPtr<IAD_Device>& device) { return Find(session, device); };
  }
  // Gives buffer its first block and reads the record through ReadRecord;
  // returns its code and count.
  unsigned long ReadStored(CertInfo* record, RecordBuffer& buffer, DWORD& count);
};

}  // namespace keydepot
