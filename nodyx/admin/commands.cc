#include "commands.h"

#include "pin_input.h"
#include "unblock_commands.h"
#include "store/device_types.h"
#include "store/hex.h"
#include "store/names.h"

#include "kdplatform/file_io.h"
#include "kdplatform/interrupts.h"
#include "kdplatform/printable_text.h"
#include "kdplatform/win32.h"

#include <iostream>
#include <random>
#include <utility>

namespace nodyx::admin {

namespace {

// "invalid <kind> name '<name>': <why>".
std::string InvalidName(const char* kind, const std::string& name) {
  return std::string("invalid ") + kind + " name '" + name + "': " + std::string(StoreNameProblem(name));
}

}  // namespace

// Messages name devices, items and containers as the store holds them; Report
// cleans them for the terminal.
namespace {

std::pair<ExitCode, std::string> StoreFailure(const std::string& what, HRESULT hr, const std::string& detail) {
  if (hr == HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND) || hr == HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND)) {
    return {kNotFound, what + ": not found"};
  }
  if (hr == E_INVALIDARG) return {kBadPath, what + ": invalid name"};
  if (hr == HRESULT_FROM_WIN32(ERROR_ALREADY_EXISTS)) return {kExists, what + ": already exists"};
  if (hr == E_ACCESSDENIED && !detail.empty()) return {kLocalIo, what + ": refused: " + detail};
  if (hr == HRESULT_FROM_WIN32(ERROR_CANT_RESOLVE_FILENAME)) {
    return {kLocalIo, what + ": is a link, which the store never follows"};
  }
  if (hr == HRESULT_FROM_WIN32(ERROR_INVALID_DATA)) {
    return {kFailed, what + ": the device description is damaged" + (detail.empty() ? "" : " (" + detail + ")") +
                         "; the device is not seen"};
  }
  return {hr == E_ACCESSDENIED ? kLocalIo : kFailed, what + ": failed (" + kdtools::DescribeHresult(hr) + ")"};
}

}  // namespace

// Messages name devices, items and containers as the store holds them; Report
// cleans them for the terminal.
int Fail(const std::string& what, HRESULT hr, const std::string& detail) {
  const auto [code, message] = StoreFailure(what, hr, detail);
  return Report(code, message, hr);
}

// A local file that is missing or cannot be read is the caller's, not the
// store's.
int FailLocal(const std::string& what, HRESULT hr, const std::string& detail) {
  const auto [code, message] = StoreFailure(what, hr, detail);
  return Report(code == kFailed || code == kNotFound ? kLocalIo : code, message, hr);
}

// Loads a device's description, reporting a failure as an exit code.
int LoadDevice(const DeviceStore& store, const std::string& device, DeviceRecord* record) {
  if (!IsValidStoreName(device)) return Report(kBadPath, InvalidName("device", device));
  std::string problem;
  const HRESULT hr = store.Load(device, record, &problem);
  return FAILED(hr) ? Fail("device '" + device + "'", hr, problem) : kOk;
}

namespace {

// A device item as keydepot's storage functions write and read it: a 4-byte
// little-endian length, then the bytes.
kdp::WipedBytes ToRecord(const kdp::WipedBytes& bytes) {
  const auto size = static_cast<std::uint32_t>(bytes.size());
  const std::uint8_t length[4] = {static_cast<std::uint8_t>(size), static_cast<std::uint8_t>(size >> 8),
                                  static_cast<std::uint8_t>(size >> 16), static_cast<std::uint8_t>(size >> 24)};
  kdp::WipedBytes record(length, sizeof length);
  record.Append(bytes.data(), bytes.size());
  return record;
}

// False when record is not a 4-byte length followed by that many bytes.
bool FromRecord(const kdp::WipedBytes& record, kdp::WipedBytes* bytes) {
  if (record.size() < 4) return false;
  const std::uint8_t* p = record.data();
  const std::uint32_t size = p[0] | p[1] << 8 | p[2] << 16 | static_cast<std::uint32_t>(p[3]) << 24;
  if (size != record.size() - 4) return false;
  *bytes = kdp::WipedBytes(p + 4, size);
  return true;
}

std::string TypeName(std::int32_t type) {
  const DeviceTypeInfo* info = FindDeviceType(type);
  return info ? std::string(info->name) : "unknown";
}

// A new PIN (or none) starts with its full count of tries: wrong PINs
// counted against the old one say nothing about it.
int SavePinChange(const DeviceStore& store, const std::string& device, const DeviceRecord& record) {
  if (const HRESULT hr = store.Save(device, record); FAILED(hr)) return Fail("device '" + device + "'", hr);
  const HRESULT hr = ResetPinTries(store, device, true, false);
  return FAILED(hr) ? Fail("the count of wrong PINs of device '" + device + "'", hr) : kOk;
}

}  // namespace

int CreateDevice(const DeviceStore& store, const CreateOptions& o) {
  if (!IsValidStoreName(o.device)) return Report(kBadPath, InvalidName("device", o.device));
  if (!FindFolderDeviceType(o.type)) return Report(kUsage, "unknown device type " + std::to_string(o.type));
  DeviceRecord r;
  r.type = o.type;
  if (o.idHex.empty()) {
    std::random_device random;
    for (int i = 0; i < 8; ++i) r.id.push_back(static_cast<std::uint8_t>(random()));
  } else {
    auto id = FromHex(o.idHex);
    if (!id) return Report(kUsage, "the identifier must be an even number of hex digits");
    if (id->size() > kMaxIdBytes) return Report(kUsage, "the identifier is longer than 31 bytes");
    r.id = std::move(*id);
  }
  r.systemName = o.systemName.value_or(o.device);
  r.displayName = o.displayName.value_or(TypeName(o.type) + " " + o.device);
  if (!IsValidDeviceName(r.systemName) || !IsValidDeviceName(r.displayName)) {
    return Report(kUsage, "names must be at most 255 bytes without '\\', '|' or control characters");
  }
  if (!o.defaultContainer.empty() && !IsValidStoreName(o.defaultContainer)) {
    return Report(kBadPath, InvalidName("default container", o.defaultContainer));
  }
  r.defaultContainer = o.defaultContainer;
  r.sizeValue = o.sizeValue;
  r.room = o.room;
  r.keyStorage = !o.noKeyStorage;
  r.cryptoDevice = o.crypto;
  r.cryptoFlag = o.cryptoFlag;
  r.detached = o.detached;
  if (o.pinTryLimit == 0 || o.pinTryLimit > kMaxPinTryLimit) {
    return Report(kUsage, "the PIN try limit must be from 1 to " + std::to_string(kMaxPinTryLimit));
  }
  r.pinTryLimit = o.pinTryLimit;
  if (!o.adminPinFile.empty()) {
    if (const int rc = ReadAndHashNewPin(o.adminPinFile, &r.adminPin); rc != kOk) return rc;
  }
  for (const auto& other : store.Scan()) {
    if (other.record.type == r.type && other.record.id == r.id) {
      return Report(kExists, "device '" + other.folder + "' already has this type and identifier");
    }
  }
  std::string problem;
  const HRESULT hr = store.Create(o.device, r, &problem);
  if (!problem.empty()) return Fail("device store " + store.root(), hr, problem);
  kdp::FileInfo root;
  if (FAILED(hr) &&
      (hr == E_ACCESSDENIED || kdp::QueryFile(store.root(), &root) != 0 || root.kind != kdp::FileKind::kFolder)) {
    return Report(kLocalIo,
                  "cannot create device '" + o.device + "': the device store " + store.root() +
                      " cannot be created or written (" +
                      (hr == E_ACCESSDENIED ? "access denied" : kdtools::DescribeHresult(hr)) +
                      "); set NODYX_STORE, or --store, to a folder this user may write",
                  hr);
  }
  if (FAILED(hr)) return Fail("device '" + o.device + "'", hr);
  const std::string idText = ToHex(r.id.data(), r.id.size());
  Out() << o.device << " " << idText << "\n";
  Result() = {{"device", o.device}, {"id_text", idText}};
  return kOk;
}

int ListDevices(const DeviceStore& store) {
  std::string problem;
  if (store.CheckRoot(&problem) == E_ACCESSDENIED) return Fail("device store " + store.root(), E_ACCESSDENIED, problem);
  std::vector<DeviceStore::Unreadable> unreadable;
  Json devices = Json::array(), skipped = Json::array();
  for (const auto& e : store.Scan(&unreadable)) {
    const std::string idText = ToHex(e.record.id.data(), e.record.id.size());
    Out() << kdp::PrintableText(e.folder) << "\t" << e.record.type << "\t" << idText << "\t"
          << (e.record.detached ? "detached" : "attached") << "\t" << kdp::PrintableText(e.record.displayName) << "\n";
    devices.push_back({{"device", e.folder},
                       {"type", e.record.type},
                       {"id_text", idText},
                       {"detached", e.record.detached},
                       {"display_name", e.record.displayName}});
  }
  for (const auto& u : unreadable) {
    std::cerr << "nodyx-admin: folder '" << kdp::PrintableText(u.folder)
              << "' is not seen as a device: " << kdp::PrintableText(u.problem) << "\n";
    skipped.push_back({{"device", u.folder}, {"problem", u.problem}});
  }
  Result() = {{"devices", devices}, {"unreadable", skipped}};
  return kOk;
}

int ShowDevice(const DeviceStore& store, const std::string& device) {
  DeviceRecord r;
  if (const int rc = LoadDevice(store, device, &r); rc != kOk) return rc;
  const std::string idText = ToHex(r.id.data(), r.id.size());
  const std::string pin = PinStateText(store, device, r, PinRole::kUser);
  const std::string adminPin = PinStateText(store, device, r, PinRole::kAdmin);
  Result() = {{"device", device},
              {"type", r.type},
              {"type_name", TypeName(r.type)},
              {"id_text", idText},
              {"display_name", r.displayName},
              {"system_name", r.systemName},
              {"default_container", r.defaultContainer},
              {"size_value", r.sizeValue},
              {"room", r.room},
              {"key_storage", r.keyStorage},
              {"crypto", r.cryptoDevice},
              {"crypto_flag", r.cryptoFlag},
              {"pin", pin},
              {"admin_pin", adminPin},
              {"detached", r.detached}};
  Out() << "device:            " << kdp::PrintableText(device) << "\n"
        << "type:              " << r.type << " (" << TypeName(r.type) << ")\n"
        << "identifier:        " << idText << "\n"
        << "display name:      " << kdp::PrintableText(r.displayName) << "\n"
        << "system name:       " << kdp::PrintableText(r.systemName) << "\n"
        << "default container: " << kdp::PrintableText(r.defaultContainer) << "\n"
        << "size value:        " << r.sizeValue << "\n"
        << "room:              " << r.room << "\n"
        << "key storage:       " << (r.keyStorage ? "yes" : "no") << "\n"
        << "crypto device:     " << (r.cryptoDevice ? "yes" : "no") << "\n"
        << "crypto flag:       " << r.cryptoFlag << "\n"
        << "PIN:               " << pin << "\n"
        << "admin PIN:         " << adminPin << "\n"
        << "state:             " << (r.detached ? "detached" : "attached") << "\n";
  return kOk;
}

int RemoveDevice(const DeviceStore& store, const std::string& device) {
  if (!IsValidStoreName(device)) return Report(kBadPath, InvalidName("device", device));
  const HRESULT hr = store.Remove(device);
  if (FAILED(hr)) return Fail("device '" + device + "'", hr);
  Result() = {{"device", device}, {"removed", true}};
  return kOk;
}

int SetDetached(const DeviceStore& store, const std::string& device, bool detached) {
  DeviceRecord r;
  if (const int rc = LoadDevice(store, device, &r); rc != kOk) return rc;
  r.detached = detached;
  const HRESULT hr = store.Save(device, r);
  if (FAILED(hr)) return Fail("device '" + device + "'", hr);
  Result() = {{"device", device}, {"detached", detached}};
  return kOk;
}

int SetPin(const DeviceStore& store, const std::string& device, const std::string& pinFile) {
  DeviceRecord r;
  if (const int rc = LoadDevice(store, device, &r); rc != kOk) return rc;
  if (const int rc = ReadAndHashNewPin(pinFile, &r.pin); rc != kOk) return rc;
  Result() = {{"device", device}, {"pin", true}};
  return SavePinChange(store, device, r);
}

int ClearPin(const DeviceStore& store, const std::string& device) {
  DeviceRecord r;
  if (const int rc = LoadDevice(store, device, &r); rc != kOk) return rc;
  r.pin.reset();
  Result() = {{"device", device}, {"pin", false}};
  return SavePinChange(store, device, r);
}

int PutItem(const DeviceStore& store, const std::string& device, const std::string& item, const std::string& from,
            bool raw) {
  DeviceRecord r;
  if (const int rc = LoadDevice(store, device, &r); rc != kOk) return rc;
  if (!IsValidStoreName(item)) return Report(kBadPath, InvalidName("item", item));
  kdp::WipedBytes data;
  if (from.empty() || from == "-") {
    if (const DWORD error = kdp::ReadStream(kdp::StandardInput(), 0xFFFFFFFFu, &data); error != 0) {
      return FailLocal("standard input", HRESULT_FROM_WIN32(error));
    }
  } else if (const DWORD error = kdp::ReadWholeInput(from, 0xFFFFFFFFu, &data); error != 0) {
    return FailLocal("input file '" + from + "'", HRESULT_FROM_WIN32(error));
  }
  if (data.size() > 0xFFFFFFFFu - 4) return Report(kFailed, "the item is 4 GiB or more");
  const std::size_t payload = data.size();  // what JSON tells, as keydepot save does
  if (!raw) data = ToRecord(data);
  if (data.size() > r.room) return Report(kFailed, "the item is larger than the device's room");
  const kdp::InterruptCleanup cleanup;
  const HRESULT hr = store.WriteItem(device, item.c_str(), data.data(), data.size());
  if (FAILED(hr)) return Fail("item '" + item + "'", hr);
  Result() = {{"device", device}, {"item", item}, {"bytes", payload}};
  return kOk;
}

int GetItem(const DeviceStore& store, const std::string& device, const std::string& item, const std::string& to,
            bool raw) {
  const bool standard = to.empty() || to == "-";
  if (standard && JsonOutput()) {
    return Report(kUsage, "--json needs --to FILE: the item's bytes and the JSON would share standard output");
  }
  DeviceRecord r;
  if (const int rc = LoadDevice(store, device, &r); rc != kOk) return rc;
  kdp::WipedBytes data;
  const HRESULT hr = store.ReadItem(device, item.c_str(), &data);
  if (FAILED(hr)) return Fail("item '" + item + "'", hr);
  if (!raw) {
    kdp::WipedBytes payload;
    if (!FromRecord(data, &payload)) {
      return Report(kFailed, "item '" + item + "' is not stored with its length in front (" +
                                 std::to_string(data.size()) + " bytes); --raw writes the stored bytes");
    }
    data = std::move(payload);
  }
  // Items are often keys: a new output file is the owner's only.
  const kdp::InterruptCleanup cleanup;
  const DWORD error = standard ? kdp::WriteAll(kdp::StandardOutput(), data.data(), data.size())
                               : kdp::SaveFile(to, data.data(), data.size());
  if (error != 0) {
    return FailLocal(standard ? "standard output" : "output file '" + to + "'", HRESULT_FROM_WIN32(error),
                     standard ? std::string() : kdp::SaveRefusal(to));
  }
  if (!standard) Result() = {{"device", device}, {"item", item}, {"to", to}, {"bytes", data.size()}};
  return kOk;
}

int ListItems(const DeviceStore& store, const std::string& device) {
  DeviceRecord r;
  if (const int rc = LoadDevice(store, device, &r); rc != kOk) return rc;
  std::vector<std::string> names;
  const HRESULT hr = store.ListItems(device, &names);
  if (FAILED(hr)) return Fail("items of '" + device + "'", hr);
  for (const auto& name : names) Out() << kdp::PrintableText(name) << "\n";
  Result() = {{"device", device}, {"items", names}};
  return kOk;
}

int DeleteItem(const DeviceStore& store, const std::string& device, const std::string& item) {
  DeviceRecord r;
  if (const int rc = LoadDevice(store, device, &r); rc != kOk) return rc;
  const HRESULT hr = store.DeleteItem(device, item.c_str());
  if (FAILED(hr)) return Fail("item '" + item + "'", hr);
  Result() = {{"device", device}, {"item", item}, {"deleted", true}};
  return kOk;
}

int AddContainer(const DeviceStore& store, const std::string& device, const std::string& container) {
  DeviceRecord r;
  if (const int rc = LoadDevice(store, device, &r); rc != kOk) return rc;
  const HRESULT hr = store.CreateContainer(device, container.c_str());
  if (FAILED(hr)) return Fail("container '" + container + "'", hr);
  Result() = {{"device", device}, {"container", container}, {"created", true}};
  return kOk;
}

int ListContainers(const DeviceStore& store, const std::string& device) {
  DeviceRecord r;
  if (const int rc = LoadDevice(store, device, &r); rc != kOk) return rc;
  std::vector<std::string> names;
  const HRESULT hr = store.ListContainers(device, &names);
  if (FAILED(hr)) return Fail("containers of '" + device + "'", hr);
  for (const auto& name : names) Out() << kdp::PrintableText(name) << "\n";
  Result() = {{"device", device}, {"containers", names}};
  return kOk;
}

int RemoveContainer(const DeviceStore& store, const std::string& device, const std::string& container) {
  DeviceRecord r;
  if (const int rc = LoadDevice(store, device, &r); rc != kOk) return rc;
  const HRESULT hr = store.RemoveContainer(device, container.c_str());
  if (FAILED(hr)) return Fail("container '" + container + "'", hr);
  Result() = {{"device", device}, {"container", container}, {"removed", true}};
  return kOk;
}

}  // namespace nodyx::admin
