// DevCartridge: an item on the first device of a device type ("DEV|<type>|
// <name>|"). location is the type number as decimal text, item the name.
// Each operation finds the device anew and releases everything before it
// returns.
#pragma once

#include "keydepot/ad/component.h"
#include "storage/cartridge.h"

#include <functional>

namespace keydepot {

class DevCartridge final : public Cartridge {
 public:
  bool Load(CertInfo* record) override;
  bool Save(const CertInfo* record) override;
  DWORD GetSize(CertInfo* record) override;
  bool IsExist(const CertInfo* record) override;
  bool Clear(const CertInfo* record) override;
  // Uses a session of its own; never writes the last-error store.
  std::string GetStorageName() override;
  // Uses a session of its own; the path is not read.
  IdentObj GetDeviceID(const char* path) override;

  // The first device of the wanted type in session.
  HRESULT Find(DWORD session, ComPtr<IAD_Device>& device) const;

 private:
  std::function<HRESULT(DWORD, ComPtr<IAD_Device>&)> Finder() const {
    return [this](DWORD session, ComPtr<IAD_Device>& device) { return Find(session, device); };
  }
};

}  // namespace keydepot
