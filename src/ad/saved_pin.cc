// Reading and removing saved device PINs.
#include "ad/last_error_keeper.h"
#include "keydepot/ad/devices.h"
#include "keydepot/ad/saved_pin.h"
#include "last_error.h"
#include "kdplatform/wiped_bytes.h"
#include "tools2/registry.h"
#include "kdplatform/return_if_failed.h"

#include <algorithm>
#include <new>
#include <string>

namespace keydepot::ad {
namespace {

constexpr char kPinKeyRoot[] = "SOFTWARE\\Maltrove\\MTRVShared\\AD";
constexpr char kSavePinValue[] = "SavePIN";
constexpr char kPinValue[] = "PIN";
// The enciphered PIN is read into, and the deciphered PIN copied into,
// buffers of this size; a PIN takes at most kPinBuffer - 1 bytes.
constexpr DWORD kPinBuffer = 261;
// The identifier text is used as at most kIdTextBuffer - 1 bytes; the buffer
// handed to the component is as large as the component may write.
constexpr DWORD kIdTextBuffer = 256;
static_assert(AD_PATH_BUFFER >= kIdTextBuffer);

std::string GetPinRegistryKey(const std::string& idText) { return std::string(kPinKeyRoot) + "\\" + idText; }

// A wiped buffer of `size` bytes that is never null, even for size 0.
kdp::WipedBytes SecretBuffer(DWORD size) { return kdp::WipedBytes(size ? size : 1); }

// The common start: the device, then its identifier text. Returns the text
// operation's result, or the failure.
HRESULT IdentifierTextOf(DWORD session, const char* devicePath, std::string& idText) {
  if (!devicePath || !*devicePath) return E_INVALIDARG;
  ComPtr<IAD_Device> device;
  KD_RETURN_IF_FAILED(FindDeviceByPath(session, devicePath, device.put()));
  char text[AD_PATH_BUFFER] = {};
  const HRESULT hr = device->GetIDText(text);
  KD_RETURN_IF_FAILED(hr);
  text[kIdTextBuffer - 1] = '\0';
  idText = text;
  return hr;
}

// Reads and deciphers the saved PIN; a Win32-style code (0 = success).
DWORD ReadSavedPin(const std::string& idText, const PINCiphererCallBacks& callbacks, CTOOString& pin) {
  if (idText.empty()) return ERROR_INVALID_PARAMETER;
  if (!callbacks.decipher) return ERROR_INVALID_PARAMETER;
  try {
    CTooRegHLM key(GetPinRegistryKey(idText).c_str(), TOOREG_READ);
    kdp::WipedBytes enciphered = SecretBuffer(kPinBuffer);
    if (!key.GetMemory(kPinValue, enciphered.data(), kPinBuffer)) return GetLastError();
    const DWORD encipheredLength = std::min(key.GetBufferLength(kPinValue), kPinBuffer);

    kdp::WipedBytes output = SecretBuffer(callbacks.outputSize);
    DWORD outputLength = 0;
    const int code =
        callbacks.decipher(output.data(), callbacks.outputSize, &outputLength, enciphered.data(), encipheredLength,
                           reinterpret_cast<const unsigned char*>(idText.data()), static_cast<DWORD>(idText.size()));
    if (code != 0) return TooErr2WinErr(code);
    // The PIN is copied into a buffer of kPinBuffer bytes and terminated
    // there; a longer one, or one longer than the output buffer, is refused.
    if (outputLength >= kPinBuffer || outputLength > callbacks.outputSize) return ERROR_INSUFFICIENT_BUFFER;
    kdp::WipedBytes copy = SecretBuffer(kPinBuffer);
    std::copy(output.data(), output.data() + outputLength, copy.data());
    copy.data()[outputLength] = 0;
    pin = reinterpret_cast<const char*>(copy.data());  // ends at its first zero byte
    return 0;
  } catch (const XTOORegError& error) {
    return static_cast<DWORD>(error.Code());
  } catch (const std::bad_alloc&) {
    return ERROR_NOT_ENOUGH_MEMORY;  // the caller asked for an output buffer larger than memory allows
  }
}

HRESULT FromRegistryError(const XTOORegError& error) { return TooErr2HResult(error.Code()); }

}  // namespace

HRESULT IsPinSaved(DWORD session, const char* devicePath, bool& saved) {
  const detail::LastErrorKeeper lastError;
  try {
    std::string idText;
    const HRESULT result = IdentifierTextOf(session, devicePath, idText);
    KD_RETURN_IF_FAILED(result);
    CTooRegHLM key(GetPinRegistryKey(idText).c_str(), TOOREG_READ);
    DWORD value = 0;
    if (!key.GetValueEx(kSavePinValue, REG_DWORD, &value, sizeof value))
      return HRESULT_FROM_WIN32(static_cast<HRESULT>(GetLastError()));
    saved = value != 0;
    return result;
  } catch (const XTOORegError& error) {
    return FromRegistryError(error);
  }
}

HRESULT GetDevicePIN(DWORD session, const char* devicePath, const PINCiphererCallBacks& callbacks, CTOOString& pin) {
  const detail::LastErrorKeeper lastError;
  std::string idText;
  KD_RETURN_IF_FAILED(IdentifierTextOf(session, devicePath, idText));
  const DWORD r = ReadSavedPin(idText, callbacks, pin);
  return HRESULT_FROM_WIN32(static_cast<HRESULT>(r));
}

HRESULT RemoveSavedPin(DWORD session, const char* devicePath) {
  const detail::LastErrorKeeper lastError;
  try {
    std::string idText;
    const HRESULT result = IdentifierTextOf(session, devicePath, idText);
    KD_RETURN_IF_FAILED(result);
    CTooRegHLM key(GetPinRegistryKey(idText).c_str(), TOOREG_WRITE);
    key.DelValue(kPinValue);
    key.SetValue(kSavePinValue, DWORD{0});
    return result;
  } catch (const XTOORegError& error) {
    return FromRegistryError(error);
  }
}

bool GetRandom(DWORD /*session*/, DWORD /*value*/, unsigned char* /*buffer*/, DWORD /*length*/) {
  detail::SetLastErrorStore(TOOERR_NOT_OFFERED);
  return false;
}

}  // namespace keydepot::ad
