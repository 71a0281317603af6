#include "sandbox.h"

#include "kdplatform/environment.h"
#include "kdplatform/native_path.h"
#include "store/device_store.h"

#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <stdexcept>
#include <vector>

namespace fuzz {
namespace {

namespace fs = std::filesystem;

void Check(bool ok, const char* what) {
  if (!ok) throw std::runtime_error(std::string("fuzz sandbox: ") + what);
}

// A stored device record: 4-byte little-endian length, then the payload.
std::vector<std::uint8_t> Record(const std::string& payload) {
  const auto n = static_cast<std::uint32_t>(payload.size());
  std::vector<std::uint8_t> record = {static_cast<std::uint8_t>(n), static_cast<std::uint8_t>(n >> 8),
                                      static_cast<std::uint8_t>(n >> 16), static_cast<std::uint8_t>(n >> 24)};
  record.insert(record.end(), payload.begin(), payload.end());
  return record;
}

void AddDevices(const std::string& store) {
  const nodyx::DeviceStore devices(store);
  nodyx::DeviceRecord token;
  token.type = 100;
  token.id = {0x0A, 0x1B, 0x2C, 0x3D};
  token.displayName = "Token one";
  token.systemName = "reader1";
  token.defaultContainer = "main";
  Check(SUCCEEDED(devices.Create("token1", token)), "token1");
  const auto item = Record("item bytes");
  Check(SUCCEEDED(devices.WriteItem("token1", "main", item.data(), item.size())), "token1 item");

  nodyx::DeviceRecord crypto;
  crypto.type = 200;
  crypto.id = {0x0C};
  crypto.displayName = "Crypto one";
  crypto.systemName = "reader2";
  crypto.keyStorage = false;
  crypto.cryptoDevice = true;
  Check(SUCCEEDED(devices.Create("crypto1", crypto)), "crypto1");
  Check(SUCCEEDED(devices.CreateContainer("crypto1", "c1")), "crypto1 container");
}

fs::path Create() {
  std::string pattern = (fs::temp_directory_path() / "keydepot-fuzz-XXXXXX").string();
  Check(::mkdtemp(pattern.data()) != nullptr, "mkdtemp");
  const fs::path root = fs::canonical(pattern);
  for (const char* folder : {"data", "local", "store", "registry", "c/keys", "e", "work"}) {
    fs::create_directories(root / folder);
  }
  kdp::SetEnvironmentValue("KEYDEPOT_COMMON_APPDATA", (root / "data").c_str());
  kdp::SetEnvironmentValue("KEYDEPOT_LOCAL_APPDATA", (root / "local").c_str());
  kdp::SetEnvironmentValue("NODYX_STORE", (root / "store").c_str());
  kdp::SetEnvironmentValue("KEYDEPOT_REGISTRY", (root / "registry").c_str());
  const std::string drives = "C=" + (root / "c").string() + ";E=" + (root / "e").string() + ",removable";
  kdp::SetEnvironmentValue("KEYDEPOT_DRIVES", drives.c_str());
  AddDevices((root / "store").string());
  std::ofstream(root / "work" / "a.bin") << "folder item";
  std::ofstream(root / "c" / "keys" / "a.bin") << "drive item";
  Check(::chdir((root / "work").c_str()) == 0, "chdir");
  return root;
}

void Remove() {
  std::error_code ignored;
  fs::remove_all(Sandbox(), ignored);
}

}  // namespace

const fs::path& Sandbox() {
  // Never destroyed: Remove needs it after static destruction has begun.
  static const fs::path* const root = [] {
    auto* made = new fs::path(Create());
    std::atexit(Remove);
    return made;
  }();
  return *root;
}

void WriteFile(const fs::path& file, const std::uint8_t* data, std::size_t size) {
  std::error_code ignored;
  fs::remove(file, ignored);
  std::ofstream(file, std::ios::binary).write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
}

bool IsInsideSandbox(const std::string& path) {
  std::string native;
  if (!kdp::ToNativePath(path.c_str(), &native)) return false;
  for (const auto& part : fs::path(native)) {
    if (part == "..") return false;
  }
  if (native.empty() || native.front() != '/') return true;
  const std::string root = Sandbox().string() + "/";
  return native.compare(0, root.size(), root) == 0;
}

}  // namespace fuzz
