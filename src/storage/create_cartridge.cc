#include "storage/create_cartridge.h"

#include "keydepot/ad/device_path.h"
#include "paths/path_parts.h"
#include "storage/dev_cartridge.h"
#include "storage/dev_cartridge2.h"
#include "storage/fls_cartridge.h"
#include "last_error.h"

#include <vector>

namespace keydepot {
namespace {

// The fields of a path cut at '|': each field is ended by a '|', so text
// after the last '|' is no field.
std::vector<std::string> Fields(const std::string& path) {
  std::vector<std::string> fields;
  size_t start = 0;
  for (size_t bar = path.find('|'); bar != std::string::npos; bar = path.find('|', start)) {
    fields.push_back(path.substr(start, bar - start));
    start = bar + 1;
  }
  return fields;
}

// A folder back-end for the file path: item is the path, location its drive
// and directory.
std::unique_ptr<Cartridge> FolderCartridge(const std::string& filePath) {
  auto cartridge = std::make_unique<FlsCartridge>();
  cartridge->item = filePath;
  const FileSystemParts parts = SplitFileSystemPath(filePath);
  cartridge->location = parts.drive + parts.directory;
  return cartridge;
}

}  // namespace

std::unique_ptr<Cartridge> CreateCartridge(const std::string& path) {
  const size_t firstBar = path.find('|');
  if (firstBar == std::string::npos) return FolderCartridge(path);

  const std::vector<std::string> fields = Fields(path);
  if (fields[0] == "FLS") return FolderCartridge(fields.size() > 1 ? fields[1] : std::string());
  if (fields[0] == "DEV") {
    auto cartridge = std::make_unique<DevCartridge>();
    if (fields.size() > 1) cartridge->location = fields[1];
    if (fields.size() > 2) cartridge->item = fields[2];
    return cartridge;
  }
  if (firstBar == path.size() - 1) return FolderCartridge(fields[0]);

  auto cartridge = std::make_unique<DevCartridge2>();
  cartridge->location = path;
  ad::IADPathProps* parsed = nullptr;
  const HRESULT hr = ad::ParseADPath(path, &parsed);
  if (FAILED(hr)) {
    detail::SetLastErrorStore(WinErr2ToolsErr(HRESULT_CODE(hr)));
    return nullptr;
  }
  cartridge->item = ComPtr<ad::IADPathProps>::Adopt(parsed)->GetContainerName();
  return cartridge;
}

}  // namespace keydepot
