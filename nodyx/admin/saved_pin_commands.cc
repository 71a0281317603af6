#include "saved_pin_commands.h"

#include "pin_input.h"
#include "pkcs11_commands.h"
#include "unblock_commands.h"
#include "pkcs11/token_session.h"
#include "base/result_codes.h"
#include "pincipher/pin_cipher.h"
#include "store/device_types.h"
#include "store/hex.h"
#include "store/names.h"
#include "store/pin_tries.h"
#include "tools2/errors.h"
#include "tools2/registry.h"

#include <kdplatform/printable_text.h>
#include <kdplatform/trust.h>

#include <iostream>
#include <memory>
#include <optional>

namespace nodyx::admin {

namespace {

constexpr char kKeyRoot[] = "SOFTWARE\\Maltrove\\MTRVShared\\AD\\";

int RegistryFailure(const XTOORegError& error) {
  std::string why;
  if (error.Code() == static_cast<int>(ERROR_ACCESS_DENIED)) kdp::CheckTrusted(TooRegStoreFolder(), &why);
  return Report(kFailed, error.ErrorMessage() + " (registry store " + TooRegStoreFolder() +
                             (why.empty() ? ")" : ": " + why + "; it is not used)"));
}

// The device a "pin" command names: a folder of the store, else a store
// device by identifier text, else a PKCS#11 token by label or identifier
// text. Its identifier text names its
// registry key.
struct Target {
  EAD_DeviceType type = EAD_DeviceType_None;
  std::string idText;
  std::optional<PinHash> pin;          // the store device's own PIN
  std::string folder;                  // the store device's folder
  std::uint32_t pinTryLimit = 0;       // and its limit of wrong PINs
  std::optional<pkcs11::Token> token;  // checks the PIN by logging in
};

int FindTarget(const DeviceStore& store, const std::string& device, Target* target) {
  DeviceRecord record;
  const int found = FindStoreDevice(store, device, &target->folder, &record, false);
  if (found == kOk) {
    target->type = static_cast<EAD_DeviceType>(record.type);
    target->idText = ToHex(record.id.data(), record.id.size());
    target->pin = std::move(record.pin);
    target->pinTryLimit = record.pinTryLimit;
    return kOk;
  }
  if (found != kNotFound) return found;
  pkcs11::Token token;
  if (const int rc = FindToken(device, &token); rc != kOk) return rc;
  target->type = static_cast<EAD_DeviceType>(kPkcs11TokenType);
  target->idText = ToHex(token.id.data(), token.id.size());
  target->token = std::move(token);
  return kOk;
}

// kOk when pin is the device's PIN. A refused PIN counts against the
// device's limit like any other.
int CheckPin(const DeviceStore& store, const Target& target, const std::string& device, std::string_view pin) {
  if (target.token) {
    const HRESULT hr = pkcs11::TokenSession(*target.token).Login(pin);
    if (hr == kWrongPin) return Report(kPinRefused, "that is not the PIN of token '" + device + "'; nothing was saved");
    if (hr == kPinLocked) return Report(kPinRefused, "the PIN of token '" + device + "' is locked; nothing was saved");
    if (FAILED(hr)) return Report(kFailed, "token '" + device + "' cannot check the PIN; nothing was saved");
  } else if (target.pin) {
    const HRESULT hr = CheckPinCounted(store, target.folder, PinRole::kUser, *target.pin, target.pinTryLimit, pin);
    if (hr == kWrongPin)
      return Report(kPinRefused, "that is not the PIN of device '" + device + "'; nothing was saved");
    if (hr == kPinLocked) return Report(kPinRefused, "the PIN of device '" + device + "' is locked; nothing was saved");
    if (FAILED(hr)) return Report(kFailed, "device '" + device + "' cannot check the PIN; nothing was saved");
  }
  return kOk;
}

struct Options {
  std::string device;
  std::string pinFile;
};

}  // namespace

int SavePinForDevice(const DeviceStore& store, const std::string& device, const std::string& pinFile) {
  Target target;
  if (const int rc = FindTarget(store, device, &target); rc != kOk) return rc;
  const std::string& idText = target.idText;
  kdp::WipedBytes pin;
  ReadNewPin(pinFile, &pin);
  const std::string_view text(pin.chars(), pin.size());
  if (text.size() > pincipher::kMaxPinBytes) {
    return Report(kUsage, "a saved PIN takes at most " + std::to_string(pincipher::kMaxPinBytes) + " bytes");
  }
  if (const int rc = CheckPin(store, target, device, text); rc != kOk) return rc;
  std::vector<std::uint8_t> enciphered;
  if (const int code = pincipher::Encipher(target.type, idText, text, &enciphered); code != 0) {
    return Report(kFailed, "the PIN cannot be enciphered: " + ToolsErrMessage(code) + " (registry store " +
                               TooRegStoreFolder() + ")");
  }
  try {
    CTooRegHLM key((kKeyRoot + idText).c_str(), TOOREG_CREATE);
    // "PIN" first: "SavePIN" 1 never announces a PIN that is not there.
    if (!key.SetValue("PIN", enciphered.data(), static_cast<DWORD>(enciphered.size())) ||
        !key.SetValue("SavePIN", DWORD{1})) {
      throw XTOORegError(kKeyRoot + idText, "PIN", static_cast<int>(GetLastError()));
    }
  } catch (const XTOORegError& e) {
    return RegistryFailure(e);
  }
  Out() << "saved the PIN of " << kdp::PrintableText(device) << " (" << idText << ")\n";
  Result() = {{"device", device}, {"id_text", idText}, {"saved", true}};
  return kOk;
}

int ForgetSavedPin(const DeviceStore& store, const std::string& device) {
  Target target;
  if (const int rc = FindTarget(store, device, &target); rc != kOk) return rc;
  const std::string& idText = target.idText;
  try {
    CTooRegHLM key((kKeyRoot + idText).c_str(), TOOREG_WRITE);
    const bool hadPin = key.DelValue("PIN");
    if (!hadPin && GetLastError() != ERROR_FILE_NOT_FOUND) {
      throw XTOORegError(kKeyRoot + idText, "PIN", static_cast<int>(GetLastError()));
    }
    if (!key.SetValue("SavePIN", DWORD{0})) {
      throw XTOORegError(kKeyRoot + idText, "SavePIN", static_cast<int>(GetLastError()));
    }
    Out() << (hadPin ? "forgot the saved PIN of " : "no PIN was saved for ") << kdp::PrintableText(device) << "\n";
    Result() = {{"device", device}, {"id_text", idText}, {"forgotten", hadPin}};
  } catch (const XTOORegError& e) {
    if (e.Code() != static_cast<int>(ERROR_FILE_NOT_FOUND)) return RegistryFailure(e);
    Out() << "no PIN was saved for " << kdp::PrintableText(device) << "\n";
    Result() = {{"device", device}, {"id_text", idText}, {"forgotten", false}};
  }
  return kOk;
}

int ShowSavedPinStatus(const DeviceStore& store, const std::string& device) {
  Target target;
  if (const int rc = FindTarget(store, device, &target); rc != kOk) return rc;
  const std::string& idText = target.idText;
  // An answer, not a failure, also when it is no (like keydepot exists):
  // said on standard output, and with --json as a result.
  auto answer = [&](ExitCode code, const std::string& state) {
    Out() << kdp::PrintableText(device) << " (" << idText << "): " << state << "\n";
    Result() = {{"device", device},
                {"id_text", idText},
                {"saved", code != kNotFound},
                {"usable", code == kOk},
                {"state", state}};
    return code;
  };
  try {
    CTooRegHLM key((kKeyRoot + idText).c_str(), TOOREG_READ);
    DWORD savePin = 0;
    const bool flagRead = key.GetValueEx("SavePIN", REG_DWORD, &savePin, sizeof savePin);
    unsigned char enciphered[pincipher::kMaxEncipheredBytes];
    const bool pinRead = key.GetMemory("PIN", enciphered, sizeof enciphered);
    const DWORD encipheredLength = pinRead ? key.GetBufferLength("PIN") : 0;
    if (!flagRead || savePin == 0) {
      SecureZeroMemory(enciphered, sizeof enciphered);
      return answer(kNotFound, "no PIN saved");
    }
    if (!pinRead) {
      return answer(kFailed, "marked as saved, but the PIN value is missing");
    }
    unsigned char plain[pincipher::kMaxPinBytes];
    DWORD length = 0;
    const pincipher::DeviceTypeScope scope(target.type);
    const int code =
        pincipher::Decipher(plain, sizeof plain, &length, enciphered, encipheredLength,
                            reinterpret_cast<const unsigned char*>(idText.data()), static_cast<DWORD>(idText.size()));
    SecureZeroMemory(plain, sizeof plain);
    SecureZeroMemory(enciphered, sizeof enciphered);
    if (code == WinErr2ToolsErr(ERROR_REVISION_MISMATCH)) {
      return answer(kFailed,
                    "PIN saved in an older format that does not name the device's type; save it again with "
                    "nodyx-admin pin save");
    }
    if (code != 0) {
      return answer(kFailed, "PIN saved, but it cannot be deciphered here (" + ToolsErrMessage(code) + ")");
    }
    return answer(kOk, "PIN saved");
  } catch (const XTOORegError& e) {
    if (e.Code() != static_cast<int>(ERROR_FILE_NOT_FOUND)) return RegistryFailure(e);
    return answer(kNotFound, "no PIN saved");
  }
}

void AddSavedPinCommands(CLI::App& app, std::function<int(const DeviceStore&)>& run) {
  // The options live as long as the callbacks that the app keeps.
  auto options = std::make_shared<Options>();
  CLI::App* pin = app.add_subcommand("pin", "The device's saved PIN in the machine-wide registry, read by keydepot");
  pin->require_subcommand(1);
  pin->footer(
      "The registry store is $KEYDEPOT_REGISTRY, else /var/lib/keydepot/registry (root only).\n"
      "Example:\n  nodyx-admin pin save token1 --pin-file ./pin.txt");

  auto add = [&](const char* name, const char* description, std::function<int(const DeviceStore&)> action) {
    CLI::App* sub = pin->add_subcommand(name, description);
    sub->add_option("device", options->device,
                    "Device folder name or identifier, or a PKCS#11 token's label or identifier")
        ->required();
    sub->callback([&run, action = std::move(action)] { run = action; });
    return sub;
  };
  add("save", "Encipher and save the PIN, read from --pin-file, standard input or a prompt",
      [options](const DeviceStore& s) { return SavePinForDevice(s, options->device, options->pinFile); })
      ->add_option("--pin-file", options->pinFile, "File whose first line is the PIN");
  add("forget", "Delete the saved PIN", [options](const DeviceStore& s) { return ForgetSavedPin(s, options->device); });
  add("status", "Say whether a PIN is saved and deciphers here (exit 0), none is saved (4) or it is unusable (3)",
      [options](const DeviceStore& s) { return ShowSavedPinStatus(s, options->device); });
}

}  // namespace nodyx::admin
