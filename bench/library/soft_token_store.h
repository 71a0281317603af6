// Devices of the software token made by writing its store files directly
// (description, items, containers), so that a benchmark can set up a
// thousand containers in milliseconds instead of a thousand admin-tool runs.
// Failures throw std::runtime_error: a benchmark without its devices would
// measure nothing.
#pragma once

#include <cstddef>
#include <filesystem>
#include <string>

namespace kdbench {

struct SoftDevice {
  std::string folder;         // the device's folder name in the store
  int type = 100;             // SoftToken
  std::string idHex;          // identifier bytes as upper-case hex, 2 to 62 digits
  bool cryptoDevice = false;  // true: containers are folders; false: key-storage items
  std::string pin{};          // the device's PIN, hashed as the tools hash it; empty: none
};

class SoftTokenStore {
 public:
  explicit SoftTokenStore(std::filesystem::path store) : store_(std::move(store)) {}

  // Writes the device's description; the device is attached from then on.
  void CreateDevice(const SoftDevice& device) const;
  // A key-storage item holding `size` bytes of filler.
  void AddItem(const SoftDevice& device, const std::string& name, std::size_t size) const;
  // A key-storage item as the library saves one: a record of `size` bytes
  // of filler after their 4-byte length (little-endian).
  void AddRecord(const SoftDevice& device, const std::string& name, std::size_t size) const;
  // An empty crypto container.
  void AddContainer(const SoftDevice& device, const std::string& name) const;

 private:
  std::filesystem::path store_;
};

// Waits until what the store's files were written a second ago: the token
// trusts a file's version only once it has settled (docs/nodyx.md), and reads
// descriptions again until then. A user's store is older than that; a
// benchmark measured in the first second would time those reads instead.
void LetTheStoreSettle();

// The library's device path of a container on the device:
// 1|2\5|<type>\17|<identifier text>\8|<container>.
std::string DevicePath(const SoftDevice& device, const std::string& container);

// The named-device location of the whole device: \\!\<type name>\<identifier text>.
std::string DeviceLocation(const std::string& typeName, const SoftDevice& device);

}  // namespace kdbench
