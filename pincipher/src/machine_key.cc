#include "machine_key.h"

#include "pincipher/pin_cipher.h"
#include "tools2/errors.h"
#include "tools2/registry.h"

#include <kdcrypto/crypto.h>
#include <kdplatform/win32.h>

namespace pincipher::detail {

MachineKey::~MachineKey() { SecureZeroMemory(bytes, sizeof bytes); }

namespace {

int ReadKey(CTooReg& reg, MachineKey* key) {
  if (!reg.GetMemory(kMachineKeyValue, key->bytes, sizeof key->bytes)) {
    const DWORD error = GetLastError();
    // A value of the wrong size is not a key of ours.
    return WinErr2ToolsErr(error == ERROR_MORE_DATA ? ERROR_INVALID_DATA : error);
  }
  if (reg.GetBufferLength(kMachineKeyValue) != kKeyBytes) {
    SecureZeroMemory(key->bytes, sizeof key->bytes);
    return WinErr2ToolsErr(ERROR_INVALID_DATA);
  }
  return 0;
}

}  // namespace

int LoadMachineKey(bool create, MachineKey* key) {
  try {
    CTooRegHLM reg(kMachineKeyPath, create ? TOOREG_CREATE : TOOREG_READ);
    if (create && reg.GetBufferLength(kMachineKeyValue) == 0 && GetLastError() == ERROR_FILE_NOT_FOUND) {
      MachineKey fresh;
      if (!kdcrypto::RandomBytes(fresh.bytes)) {
        return WinErr2ToolsErr(ERROR_NOT_ENOUGH_MEMORY);
      }
      if (!reg.AddValue(kMachineKeyValue, fresh.bytes, sizeof fresh.bytes) && GetLastError() != ERROR_ALREADY_EXISTS) {
        return WinErr2ToolsErr(GetLastError());
      }
    }
    return ReadKey(reg, key);
  } catch (const XTOORegError& error) {
    return WinErr2ToolsErr(static_cast<DWORD>(error.Code()));
  }
}

}  // namespace pincipher::detail
