// The exported storage functions: each makes the back-end for the record's
// path, runs one operation and deletes the back-end. They catch nothing.
#include "keydepot/storage.h"
#include "storage/create_cartridge.h"

namespace keydepot {

bool Load(CertInfo* record) {
  auto cartridge = CreateCartridge(record->path);
  return cartridge && cartridge->Load(record);
}

bool LoadVpn2Pass(CertInfo* record) {
  auto cartridge = CreateCartridge(record->path);
  return cartridge && cartridge->LoadVpn2Pass(record);
}

bool Save(const CertInfo* record) {
  auto cartridge = CreateCartridge(record->path);
  return cartridge && cartridge->Save(record);
}

DWORD GetSize(CertInfo* record) {
  auto cartridge = CreateCartridge(record->path);
  return cartridge ? cartridge->GetSize(record) : 0;
}

bool IsExist(const CertInfo* record) {
  auto cartridge = CreateCartridge(record->path);
  return cartridge && cartridge->IsExist(record);
}

bool Clear(const CertInfo* record) {
  auto cartridge = CreateCartridge(record->path);
  return cartridge && cartridge->Clear(record);
}

CTOOString GetStorageName(const char* path) {
  auto cartridge = CreateCartridge(std::string(path ? path : ""));
  return cartridge ? CTOOString(cartridge->GetStorageName().c_str()) : CTOOString();
}

IdentObj GetDeviceID(const char* path) {
  auto cartridge = CreateCartridge(std::string(path ? path : ""));
  return cartridge ? cartridge->GetDeviceID(path) : IdentObj();
}

}  // namespace keydepot
