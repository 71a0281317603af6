#include "storage_call.h"

#include "failure.h"
#include "output.h"
#include "pin_state.h"

#include <kdtools/pin_source.h>
#include "store/names.h"

#include <kdplatform/interrupts.h>
#include <tools2/errors.h>

#include <algorithm>
#include <cstdint>
#include <thread>

namespace kdcli {

namespace {

// The little-endian length keydepot save writes in front of a device item.
constexpr DWORD kDeviceRecordBytes = 4;
constexpr HRESULT kWrongPinCode = HRESULT_FROM_WIN32(86);     // ERROR_INVALID_PASSWORD
constexpr HRESULT kDeviceBusyCode = HRESULT_FROM_WIN32(170);  // ERROR_BUSY
constexpr HRESULT kDeviceNotReadyCode = HRESULT_FROM_WIN32(ERROR_NOT_READY);
constexpr EAD_DeviceType kPkcs11Token = static_cast<EAD_DeviceType>(300);
// A PKCS#11 module's CKR_GENERAL_ERROR and CKR_FUNCTION_FAILED, as the
// component passes them on: SoftHSM2 answers so while another process
// rewrites its files.
constexpr HRESULT kGeneralErrorCode = static_cast<HRESULT>(0x80041005u);
constexpr HRESULT kFunctionFailedCode = static_cast<HRESULT>(0x80041006u);
constexpr const char* kPinHelp = "--ask-pin, --pin-file, --pin-fd, --pin-env or --saved-pin";
constexpr const char* kDeviceNameRule =
    "an item name on a device holds no '/', '\\' or control character; on the software token also none of "
    ": < > \" | ? *, no final '.' or ' ', and no Windows device name such as CON, NUL, COM1 or LPT1, with or without "
    "an extension";

std::uint32_t LittleEndian32(const unsigned char* bytes) {
  return bytes[0] | bytes[1] << 8 | bytes[2] << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
}

// Whether raw (a device item's stored bytes) is a record: its first 4 bytes
// give the length of the rest.
bool IsRecord(const IdentObj& raw) { return raw.cbData >= 4 && LittleEndian32(raw.pbData) == raw.cbData - 4; }

std::optional<int> CodeOrNothing(int code) { return code != 0 ? std::optional<int>(code) : std::nullopt; }

// " (3 tries left)" after a refused PIN, or nothing when the device does not tell.
std::string TriesLeftNote(const PinState& state) {
  const std::string left = TriesLeftText(state);
  return left.empty() ? "" : " (" + left + ")";
}

std::string IdText(const FoundDevice* device) {
  char text[AD_PATH_BUFFER] = {};
  return device != nullptr && SUCCEEDED(device->device->GetIDText(text)) ? std::string(text) : "<device>";
}

}  // namespace

StorageCall::StorageCall(const std::string& path, const std::string& filter, const PinOptions& pin, bool stdinTaken,
                         Use use)
    : target_(path), filter_(filter), stdinTaken_(stdinTaken), savedPin_(pin.saved) {
  if (pin.Count() > 1) throw Failure(kUsage, "give one PIN source at most");
  if (!target_.IsDevice() && pin.Count() > 0) {
    throw Failure(kUsage, "a PIN is for device items, and " + path + " names a file");
  }
  if (target_.IsDevice()) {
    session_.emplace(filter);
    target_.Resolve();
    AnnounceDevice(use);
  }
  pinText_.reserve(kdtools::kMaxPinBytes + 1);
  if (pin.saved) {
    const FoundDevice* device = Device();
    if (device == nullptr) throw Failure(kNotFound, "no attached device matches " + path + ", so no saved PIN");
    LoadSavedPin(session_->handle(), device->devicePath, device->type, device->Label(), &pin_);
  } else {
    LoadPin(pin, pin.ask ? DeviceLabel() : std::string(), &pin_);
  }
  UsePin();
  record_.path = target_.path();
  record_.session = session_ ? session_->handle() : 0;
}

StorageCall::~StorageCall() { kdtools::WipeText(&pinText_); }

void StorageCall::UsePin() {
  kdtools::WipeText(&pinText_);
  if (!pin_.empty()) pinText_.append(pin_.chars(), pin_.size());
  record_.pin = pin_.empty() ? nullptr : &pinText_;
}

const FoundDevice* StorageCall::Device() {
  if (!target_.IsDevice()) return nullptr;
  if (!device_) device_ = FindDevice(session_->handle(), target_);
  return *device_ ? &**device_ : nullptr;
}

std::string StorageCall::DeviceLabel() {
  const FoundDevice* device = Device();
  return device != nullptr ? device->Label() : target_.path();
}

void StorageCall::AnnounceDevice(Use use) {
  if (target_.kind() == Target::Kind::kDeviceType) {
    const unsigned long wanted = WantedDeviceType(target_.typeNumber());
    if (Device() == nullptr) {
      throw Failure(kNotFound, "no attached device has the type " + std::to_string(wanted) + ", which " +
                                   target_.given() + " takes (DEV|101| takes type 101, other numbers the " +
                                   "multiple of 100 below them; keydepot devices lists the attached ones)");
    }
    Note(target_.given() + " uses the first device of type " + std::to_string(wanted) + ": " + Device()->Label());
  } else if (target_.WasDesignation() && !Quiet()) {
    Note(target_.given() + (use == Use::kItem ? " is " + target_.path() + " on " : " names ") + DeviceLabel());
  }
}

bool StorageCall::Retriable() {
  if (!target_.IsDevice()) return false;
  const int code = keydepot::KDPGetLastError();
  const HRESULT hr = TooErr2HResult(code);
  if (hr == kDeviceBusyCode || hr == kDeviceNotReadyCode || hr == kGeneralErrorCode || hr == kFunctionFailedCode) {
    return true;
  }
  // A token that says "not logged in" although a PIN was given did not
  // refuse the PIN (that is ERROR_INVALID_PASSWORD): SoftHSM2 forgets a
  // login while other processes rewrite its files.
  if (hr == E_ACCESSDENIED && record_.pin != nullptr) {
    const FoundDevice* device = Device();
    return device != nullptr && device->type == kPkcs11Token;
  }
  // Not found: the item, or the token (which a busy token may seem to be);
  // a software-token device that is not found is not there.
  return code == TOOERR_FILE_MISSING && NamesPkcs11Token() && Device() == nullptr;
}

std::string StorageCall::NameFault() const {
  if (!target_.IsDevice()) return "";
  std::string name = target_.item();
  ComPtr<keydepot::ad::IADPathProps> props;
  if (name.empty() && SUCCEEDED(keydepot::ad::ParseADPath(target_.path(), props.put())) && props) {
    name = props->GetContainerName();
  }
  const std::string_view problem =
      name.empty() ? std::string_view()
                   : (NamesPkcs11Token() ? nodyx::ObjectNameProblem(name) : nodyx::StoreNameProblem(name));
  if (problem.empty()) return std::string(" (") + kDeviceNameRule + ")";
  // A long name is cut: the reason is what matters.
  const std::string shown = name.size() > 40 ? name.substr(0, 32) + "..." : name;
  return " (the item name '" + shown + "': " + std::string(problem) + ")";
}

bool StorageCall::NamesPkcs11Token() const {
  ComPtr<keydepot::ad::IADPathProps> props;
  return SUCCEEDED(keydepot::ad::ParseADPath(target_.path(), props.put())) && props &&
         props->GetDeviceType() == kPkcs11Token;
}

void StorageCall::Reopen() {
  device_.reset();
  session_.reset();
  session_.emplace(filter_);
  record_.session = session_->handle();
}

bool StorageCall::Run(const std::string& what, const std::function<bool(keydepot::CertInfo*)>& op) {
  if (refused_) throw *refused_;
  bool ok = Guarded(what, [&] { return op(&record_); });
  auto pause = kBusyFirstPause;
  for (std::chrono::milliseconds waited{0}; !ok && waited < kBusyPatience && Retriable(); waited += pause, pause *= 2) {
    std::this_thread::sleep_for(pause);
    Reopen();
    ok = Guarded(what, [&] { return op(&record_); });
  }
  if (ok || record_.pin != nullptr || stdinTaken_ || !CanPromptForPin()) return ok;
  if (TooErr2HResult(keydepot::KDPGetLastError()) != E_ACCESSDENIED) return ok;
  PromptForPin(DeviceLabel(), &pin_);
  UsePin();
  return Guarded(what, [&] { return op(&record_); });
}

bool StorageCall::RunAt(const std::string& path, const std::string& what,
                        const std::function<bool(keydepot::CertInfo*)>& op) {
  const std::string saved = record_.path;
  record_.path = path;
  bool ok = false;
  try {
    ok = Run(what, op);
  } catch (...) {
    record_.path = saved;
    throw;
  }
  record_.path = saved;
  return ok;
}

std::string StorageCall::ItemDevicePath(const std::string& what) {
  if (target_.kind() == Target::Kind::kDevicePath) return target_.path();
  if (!target_.IsDevice())
    throw Failure(kUsage, what + ": --raw is for device items; a file holds an item's bytes as they are");
  if (target_.item().find('\\') != std::string::npos) {
    throw Failure(kBadPath, what + ": the item name holds '\\', which a device path cannot carry");
  }
  const FoundDevice* device = Device();
  if (device == nullptr) throw Failure(kNotFound, what + ": no attached device matches");
  return device->devicePath + target_.item();
}

void StorageCall::FailNotARecord(const std::string& what, const std::string& itemPath) {
  IdentObj raw;
  record_.data = &raw;
  bool read = RunAt(itemPath, what, [](keydepot::CertInfo* r) { return keydepot::LoadVpn2Pass(r); });
  // An empty stored item reads as a failure without a code.
  read = read || (raw.cbData == 0 && keydepot::KDPGetLastError() == 0);
  std::string found =
      "the item is not stored as keydepot save stores items (a 4-byte little-endian length, then "
      "the bytes)";
  if (read && raw.cbData < 4) {
    found = "the item holds " + std::to_string(raw.cbData) +
            " bytes, fewer than the 4-byte length keydepot save "
            "writes in front of an item";
  } else if (read) {
    // What the first 4 bytes hold is not said: they may be part of a key.
    found = "the item holds " + std::to_string(raw.cbData) +
            " bytes, and its first 4 do not give the length of the rest: it was stored by something other than "
            "keydepot save (such as nodyx-admin put-item --raw)";
  }
  throw Failure(kFailed, what + ": " + found + "; keydepot load --raw writes the stored bytes whole");
}

void StorageCall::Load(IdentObj* data) {
  const std::string what = "cannot load " + target_.given();
  record_.data = data;
  if (!Run(what, [](keydepot::CertInfo* r) { return keydepot::Load(r); })) {
    // A device item read whole whose length does not match leaves no code.
    if (target_.IsDevice() && keydepot::KDPGetLastError() == 0) FailNotARecord(what, target_.path());
    Fail(what, FileOp::kLoad);
  }
  // Loads by device type do not check the length: read the record again.
  if (target_.kind() == Target::Kind::kDeviceType && target_.item().find('\\') == std::string::npos) {
    IdentObj raw;
    record_.data = &raw;
    const std::string itemPath = ItemDevicePath(what);
    if (!RunAt(itemPath, what, [](keydepot::CertInfo* r) { return keydepot::LoadVpn2Pass(r); })) {
      Fail(what, FileOp::kLoad);
    }
    if (!IsRecord(raw)) FailNotARecord(what, itemPath);
  }
  record_.data = nullptr;
}

void StorageCall::LoadRaw(IdentObj* data) {
  const std::string what = "cannot load " + target_.given() + " raw";
  const std::string itemPath = ItemDevicePath(what);
  record_.data = data;
  if (!RunAt(itemPath, what, [](keydepot::CertInfo* r) { return keydepot::LoadVpn2Pass(r); })) {
    Fail(what, FileOp::kLoad);
  }
  record_.data = nullptr;
}

void StorageCall::LoadItem(const std::string& name, IdentObj* data) {
  const std::string itemPath = Device()->devicePath + name;
  const std::string what = "cannot load " + itemPath;
  record_.data = data;
  if (!RunAt(itemPath, what, [](keydepot::CertInfo* r) { return keydepot::Load(r); })) {
    if (keydepot::KDPGetLastError() == 0) FailNotARecord(what, itemPath);
    Fail(what, FileOp::kLoad);
  }
  record_.data = nullptr;
}

void StorageCall::Save(IdentObj* data) {
  // Interrupted, the save removes its temporary file before the tool ends.
  const kdp::InterruptCleanup cleanup;
  record_.data = data;
  if (!Run("cannot save " + target_.given(), [](keydepot::CertInfo* r) { return keydepot::Save(r); })) {
    Fail("cannot save " + target_.given(), FileOp::kSave);
  }
  record_.data = nullptr;
}

void StorageCall::SaveCertificate(const kdp::WipedBytes& der) {
  const std::string what = "cannot save " + target_.given() + " as a certificate";
  if (!target_.IsDevice()) {
    throw Failure(
        kUsage, what + ": --as certificate is for items on a PKCS#11 token, and " + target_.given() + " names a file");
  }
  const FoundDevice* device = Device();
  if (device == nullptr) throw Failure(kNotFound, what + ": no attached device matches");
  ComPtr<IAD_TokenObjects> objects;
  if (FAILED(device->device.As(&objects)) || !objects) {
    throw Failure(kUsage, what + ": --as certificate writes a PKCS#11 certificate object, and " + device->Label() +
                              " is no PKCS#11 token");
  }
  const std::string name = ItemName(what, *device);
  const auto write = [&] {
    HRESULT hr = record_.pin != nullptr ? device->device->PresentPIN(record_.pin->c_str()) : S_OK;
    if (SUCCEEDED(hr)) hr = objects->WriteCertificate(name.c_str(), der.data(), static_cast<DWORD>(der.size()));
    return hr;
  };
  HRESULT hr = write();
  if (hr == E_ACCESSDENIED && record_.pin == nullptr && !stdinTaken_ && CanPromptForPin()) {
    PromptForPin(DeviceLabel(), &pin_);
    UsePin();
    hr = write();
  }
  if (FAILED(hr)) FailCode(what, FileOp::kSave, HResult2ToolsErr(hr));
}

std::string StorageCall::ItemName(const std::string& what, const FoundDevice& device) {
  const std::string path = PlacePath();
  if (path.rfind(device.devicePath, 0) != 0 || path.size() == device.devicePath.size()) {
    throw Failure(kBadPath, what + ": the path names no item on " + device.Label());
  }
  return path.substr(device.devicePath.size());
}

std::vector<AD_KeyObject> StorageCall::ContainerKeys() {
  const FoundDevice* device = target_.IsDevice() ? Device() : nullptr;
  ComPtr<IAD_TokenObjects> objects;
  if (device == nullptr || FAILED(device->device.As(&objects)) || !objects) return {};
  const std::string what = "cannot read the key objects of " + target_.given();
  const std::string name = ItemName(what, *device);
  // Private keys show only after a login; the PIN was accepted by the load before.
  if (record_.pin != nullptr && FAILED(device->device->PresentPIN(record_.pin->c_str()))) return {};
  std::vector<AD_KeyObject> keys;
  for (;;) {
    DWORD count = static_cast<DWORD>(keys.size());
    const HRESULT hr = objects->GetKeyObjects(name.c_str(), &count, keys.data());
    if (FAILED(hr)) FailWithHresult(what, hr);
    if (count <= keys.size()) {
      keys.resize(count);
      return keys;
    }
    keys.resize(count);
  }
}

bool StorageCall::Exists() {
  const std::string what = "cannot find out whether " + target_.given() + " exists";
  const bool exists = Run(what, [](keydepot::CertInfo* r) { return keydepot::IsExist(r); });
  // False with a code is a failure to find out, not an answer.
  if (!exists && keydepot::KDPGetLastError() != 0 && target_.IsDevice()) Fail(what, FileOp::kLoad);
  return exists;
}

void StorageCall::Delete() {
  if (!Exists()) throw Failure(kNotFound, target_.given() + " does not exist; nothing was deleted");
  if (!Run("cannot delete " + target_.given(), [](keydepot::CertInfo* r) { return keydepot::Clear(r); })) {
    Fail("cannot delete " + target_.given(), FileOp::kDelete);
  }
}

DWORD StorageCall::Room() {
  DWORD size = 0;
  Run("cannot measure " + target_.given(), [&](keydepot::CertInfo* r) {
    size = keydepot::GetSize(r);
    return size != 0;
  });
  if (size == 0 && keydepot::KDPGetLastError() != 0 && target_.IsDevice()) {
    Fail("cannot measure " + target_.given(), FileOp::kLoad);
  }
  // A device keeps an item as a record (a 4-byte length, then the bytes) in
  // its room, so the room told is what is left for the item's bytes: a save
  // of exactly that many bytes fits. 0xFFFFFFFF stays "unknown".
  if (const FoundDevice* device = Device(); device != nullptr) {
    DWORD room = 0;
    if (SUCCEEDED(device->device->GetRoom(&room))) {
      size = room == 0xFFFFFFFFu ? room : room - std::min<DWORD>(room, kDeviceRecordBytes);
    }
  }
  return size;
}

std::string StorageCall::PlacePath() {
  if (!target_.IsDevice()) return target_.file();
  if (target_.kind() == Target::Kind::kDevicePath) return target_.path();
  return Device()->devicePath + target_.item();
}

void StorageCall::FailPin(const std::string& what, int code) {
  if (record_.pin == nullptr) ThrowPinFailure(what, code);
  try {
    ThrowPinFailure(what, code);
  } catch (const Failure& e) {
    refused_ = e;
    throw;
  }
}

void StorageCall::ThrowPinFailure(const std::string& what, int code) {
  const HRESULT hr = TooErr2HResult(code);
  const std::string reason = DescribeToolsCode(code);
  const FoundDevice* device = Device();
  const PinState state = PinStateOf(device != nullptr ? device->device.get() : nullptr);
  if (hr == kPinLocked) {
    const std::string after = state.tryLimit != AD_PIN_TRIES_UNKNOWN
                                  ? "after " + std::to_string(state.tryLimit) + " wrong PINs"
                                  : "after too many wrong PINs";
    throw Failure(kPinRefused,
                  what + ": the device is locked " + after +
                      " (SCARD_W_CHV_BLOCKED) and takes no PIN until it is unblocked (a software-token device "
                      "with nodyx-admin unblock " +
                      IdText(device) + ", a PKCS#11 token with its own tools): " + reason,
                  code);
  }
  if (hr != E_ACCESSDENIED && hr != kWrongPinCode) FailWithToolsCode(what, code);  // expired
  if (record_.pin == nullptr) {
    throw Failure(kPinRefused, what + ": access denied; the device may need a PIN (" + kPinHelp + "): " + reason, code);
  }
  if (savedPin_) {
    // A saved PIN that the device refuses was right once: the device's PIN
    // changed since. Presenting it again would only use up the device's tries.
    throw Failure(kPinRefused,
                  what + ": the device refused the PIN saved for it" + TriesLeftNote(state) +
                      ", so the saved PIN is out of date (the device's PIN changed since it was saved); save the "
                      "current one with: nodyx-admin pin save " +
                      IdText(device) + " (or give it with --ask-pin, --pin-file, --pin-fd or --pin-env): " + reason,
                  code);
  }
  throw Failure(kPinRefused,
                what + ": the device refused the PIN" + TriesLeftNote(state) + ": ERROR_INVALID_PASSWORD, " + reason,
                code);
}

bool SamePlace(const std::string& a, const std::string& b, bool compareSubNames) {
  return Guarded("cannot compare " + a + " and " + b,
                 [&] { return keydepot::ArePathsEqual(CTOOString(a), CTOOString(b), compareSubNames); });
}

void StorageCall::Fail(const std::string& what, FileOp op) { FailCode(what, op, keydepot::KDPGetLastError()); }

void StorageCall::PresentPin() {
  if (record_.pin == nullptr) return;
  const FoundDevice* device = Device();
  if (device == nullptr) throw Failure(kNotFound, "no attached device matches " + target_.given());
  const std::string what = "cannot open " + device->Label();
  const HRESULT hr = Guarded(what, [&] { return device->device->PresentPIN(record_.pin->c_str()); });
  if (FAILED(hr)) FailCode(what, FileOp::kLoad, HResult2ToolsErr(hr));
}

void StorageCall::FailCode(const std::string& what, FileOp op, int code) {
  if (!target_.IsDevice()) {
    if (const auto explained = ExplainFileFailure(target_.file(), op)) {
      throw Failure(explained->code(), what + ": " + explained->what(), CodeOrNothing(code));
    }
    if (code == TOOERR_FILE_MISSING) {
      throw Failure(kNotFound, what + ": the file does not exist: " + DescribeToolsCode(code), code);
    }
  }
  if (code == 0) throw Failure(kFailed, what + ": the library reported no reason");
  const std::string reason = DescribeToolsCode(code);
  if (TooErr2HResult(code) == kKeyNotExported) {
    throw Failure(kFailed,
                  what +
                      ": the name is a key container on a PKCS#11 token with no certificate, and keys never "
                      "leave the token (keydepot show tells what the container holds): " +
                      reason,
                  code);
  }
  if (TooErr2HResult(code) == kNotACertificate) {
    throw Failure(kFailed, what + ": the input is not one X.509 certificate in DER or PEM: " + reason, code);
  }
  if (code == TOOERR_NO_ROOM) {
    const std::string record = target_.IsDevice() ? " with its 4-byte record" : "";
    throw Failure(kFailed,
                  what + ": the storage has too little room for the item" + record + " (keydepot size " +
                      target_.given() + " shows the room left for an item's bytes): " + reason,
                  code);
  }
  switch (ExitCodeFor(TooErr2HResult(code))) {
    case kNotFound:
      if (target_.IsDevice() && Device() == nullptr) {
        throw Failure(
            kNotFound,
            what + ": no attached device matches the path (keydepot devices lists the " + "attached ones): " + reason,
            code);
      }
      throw Failure(kNotFound, what + ": the item does not exist: " + reason, code);
    case kPinRefused: FailPin(what, code);
    case kBadPath:
      throw Failure(kBadPath, what + ": the path or a name in it is not valid" + NameFault() + ": " + reason, code);
    default: FailWithToolsCode(what, code);
  }
}

}  // namespace kdcli
