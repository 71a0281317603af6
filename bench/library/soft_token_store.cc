#include "soft_token_store.h"

#include "store/device_store.h"
#include "store/hex.h"
#include "store/pin_hash.h"

#include <chrono>
#include <fstream>
#include <stdexcept>
#include <string>
#include <thread>

namespace kdbench {
namespace {

void WriteFile(const std::filesystem::path& file, const std::string& bytes) {
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + file.string());
}

}  // namespace

void SoftTokenStore::CreateDevice(const SoftDevice& device) const {
  nodyx::DeviceRecord record;
  record.type = device.type;
  const auto id = nodyx::FromHex(device.idHex);
  if (!id) throw std::runtime_error("bad identifier for " + device.folder);
  record.id = *id;
  record.displayName = "Bench " + device.folder;
  record.systemName = device.folder;
  record.keyStorage = !device.cryptoDevice;
  record.cryptoDevice = device.cryptoDevice;
  if (!device.pin.empty()) {
    // The strength the tools give a PIN, so that a derivation costs what it costs users.
    record.pin = nodyx::HashNewPin(device.pin, nodyx::kPinIterations);
    if (!record.pin) throw std::runtime_error("cannot hash the PIN of " + device.folder);
  }
  // The store's own writer: the description is what the admin tool would write.
  std::string problem;
  if (FAILED(nodyx::DeviceStore(store_.string()).Create(device.folder, record, &problem)))
    throw std::runtime_error("cannot create " + device.folder + ": " + problem);
  const std::filesystem::path folder = store_ / device.folder;
  std::filesystem::create_directories(folder / "items");
  std::filesystem::create_directories(folder / "containers");
}

void SoftTokenStore::AddItem(const SoftDevice& device, const std::string& name, std::size_t size) const {
  WriteFile(store_ / device.folder / "items" / name, std::string(size, '\x5A'));
}

void SoftTokenStore::AddRecord(const SoftDevice& device, const std::string& name, std::size_t size) const {
  std::string record(4 + size, '\x5A');
  for (int i = 0; i < 4; ++i) record[static_cast<std::size_t>(i)] = static_cast<char>((size >> (8 * i)) & 0xFF);
  WriteFile(store_ / device.folder / "items" / name, record);
}

void SoftTokenStore::AddContainer(const SoftDevice& device, const std::string& name) const {
  const std::filesystem::path folder = store_ / device.folder / "containers" / name;
  if (!std::filesystem::create_directories(folder) && !std::filesystem::is_directory(folder))
    throw std::runtime_error("cannot create " + folder.string());
}

void LetTheStoreSettle() { std::this_thread::sleep_for(std::chrono::milliseconds(1100)); }

std::string DevicePath(const SoftDevice& device, const std::string& container) {
  return "1|2\\5|" + std::to_string(device.type) + "\\17|" + device.idHex + "\\8|" + container;
}

std::string DeviceLocation(const std::string& typeName, const SoftDevice& device) {
  return "\\\\!\\" + typeName + "\\" + device.idHex;
}

}  // namespace kdbench
