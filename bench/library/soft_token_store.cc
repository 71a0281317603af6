#include "soft_token_store.h"

#include "store/hex.h"
#include "store/pin_hash.h"

#include <nlohmann/json.hpp>

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
  const std::filesystem::path folder = store_ / device.folder;
  std::filesystem::create_directories(folder / "items");
  std::filesystem::create_directories(folder / "containers");
  std::filesystem::create_directories(folder / ".tmp");

  nlohmann::json description = {
      {"format", 1},
      {"type", device.type},
      {"id", device.idHex},
      {"displayName", "Bench " + device.folder},
      {"systemName", device.folder},
      {"defaultContainer", ""},
      {"keyStorage", !device.cryptoDevice},
      {"cryptoDevice", device.cryptoDevice},
      {"detached", false},
  };
  if (!device.pin.empty()) {
    // The strength the tools give a PIN, so that a derivation costs what it costs users.
    const auto hash = nodyx::HashNewPin(device.pin, nodyx::kPinIterations);
    if (!hash) throw std::runtime_error("cannot hash the PIN of " + device.folder);
    description["pin"] = {{"salt", nodyx::ToHex(hash->salt.data(), hash->salt.size())},
                          {"iterations", hash->iterations},
                          {"hash", nodyx::ToHex(hash->hash.data(), hash->hash.size())}};
  }
  WriteFile(folder / "device.json", description.dump(2));
}

void SoftTokenStore::AddItem(const SoftDevice& device, const std::string& name, std::size_t size) const {
  WriteFile(store_ / device.folder / "items" / name, std::string(size, '\x5A'));
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
