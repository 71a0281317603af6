#include "type_filter.h"

#include "store/device_types.h"

#include "kdplatform/file_io.h"

#include <pugixml.hpp>

#include <sstream>

namespace nodyx {

namespace {

constexpr std::size_t kMaxFilterBytes = 1024 * 1024;

}  // namespace

HRESULT LoadTypeFilter(const std::string& nativePath, TypeFilter* filter) {
  kdp::WipedBytes text;
  DWORD error = kdp::ReadWholeFile(nativePath, kMaxFilterBytes, &text);
  // A name that holds no filter file (a missing file, a folder) is no filter.
  kdp::FileInfo info;
  if (error == ERROR_PATH_NOT_FOUND ||
      (error == ERROR_ACCESS_DENIED && kdp::QueryFile(nativePath, &info) == 0 && info.kind != kdp::FileKind::kFile)) {
    error = ERROR_FILE_NOT_FOUND;
  }
  if (error != 0) return HRESULT_FROM_WIN32(error);

  pugi::xml_document doc;
  if (!doc.load_buffer(text.data(), text.size())) return HRESULT_FROM_WIN32(ERROR_INVALID_DATA);
  const pugi::xml_node root = doc.child("deviceTypeFilter");
  if (!root) return HRESULT_FROM_WIN32(ERROR_INVALID_DATA);

  TypeFilter loaded;
  for (const pugi::xml_node entry : root.children("deviceType")) {
    const pugi::xml_attribute number = entry.attribute("number");
    std::istringstream in(number.value());
    long long value = 0;
    if (!number || !(in >> value) || !in.eof() || value < INT32_MIN || value > INT32_MAX) {
      return HRESULT_FROM_WIN32(ERROR_INVALID_DATA);
    }
    loaded.enabled[static_cast<std::int32_t>(value)] = entry.attribute("enabled").as_bool(true);
  }
  *filter = std::move(loaded);
  return S_OK;
}

HRESULT SaveTypeFilter(const std::string& nativePath, const TypeFilter& filter) {
  pugi::xml_document doc;
  pugi::xml_node root = doc.append_child("deviceTypeFilter");
  root.append_attribute("version") = 1;
  std::map<std::int32_t, bool> all = filter.enabled;
  for (const auto& type : KnownDeviceTypes()) all.emplace(type.number, true);
  for (const auto& [number, enabled] : all) {
    pugi::xml_node entry = root.append_child("deviceType");
    entry.append_attribute("number") = number;
    if (const DeviceTypeInfo* info = FindDeviceType(number)) {
      entry.append_attribute("name") = std::string(info->name).c_str();
    }
    entry.append_attribute("enabled") = enabled;
  }
  std::ostringstream out;
  doc.save(out, "  ");
  const std::string text = out.str();

  // Every process that opens a filter reads this file, whoever saved it.
  const DWORD error = kdp::ReplaceFileAtomically(nativePath, text.data(), text.size(), kdp::Access::kShared);
  return HRESULT_FROM_WIN32(error == ERROR_FILE_NOT_FOUND ? ERROR_PATH_NOT_FOUND : error);
}

}  // namespace nodyx
