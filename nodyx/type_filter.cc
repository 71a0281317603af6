#include "type_filter.h"

#include "store/atomic_file.h"
#include "store/device_types.h"

#include <pugixml.hpp>

#include <sstream>
#include <sys/stat.h>

namespace nodyx {

namespace {

constexpr std::size_t kMaxFilterBytes = 1024 * 1024;

}  // namespace

HRESULT LoadTypeFilter(const std::string& nativePath, TypeFilter* filter) {
  std::string text;
  HRESULT hr = ReadWholeFile(nativePath, kMaxFilterBytes, &text);
  if (hr == HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND)) hr = HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
  if (FAILED(hr)) return hr;

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

  const auto slash = nativePath.find_last_of('/');
  const std::string folder = slash == std::string::npos ? "." : nativePath.substr(0, slash == 0 ? 1 : slash);
  struct stat st {};
  if (::stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND);
  // The temporary file sits next to the target so the rename stays on one
  // file system.
  return ReplaceFile(folder, nativePath, text.data(), text.size());
}

}  // namespace nodyx
