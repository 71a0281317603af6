#include "type_filter.h"

#include "filter_xml.h"
#include "base/shared_files.h"
#include "store/device_types.h"

#include "kdplatform/file_io.h"
#include "kdplatform/return_if_failed.h"

#include <sstream>
#include <string_view>

namespace nodyx {

namespace {

// A filter names a few device types: a few KiB. The bound keeps what a reader
// is handed far below the sizes at which some XmlLite builds (Wine's 32-bit
// one) fault on a long comment.
constexpr std::size_t kMaxFilterBytes = 64 * 1024;

// A decimal 32-bit number, read as these files have always been read:
// leading blanks and a sign allowed, nothing after the digits.
bool ParseNumber(const std::string& text, std::int32_t* number) {
  std::istringstream digits(text);
  long long value = 0;
  if (!(digits >> value) || !digits.eof() || value < INT32_MIN || value > INT32_MAX) return false;
  *number = static_cast<std::int32_t>(value);
  return true;
}

// True is a value that starts with 1, t, T, y or Y, and a missing attribute.
bool EnabledValue(const std::optional<std::string>& value) {
  if (!value) return true;
  return !value->empty() && std::string_view("1tTyY").find(value->front()) != std::string_view::npos;
}

}  // namespace

HRESULT ParseTypeFilter(std::string_view text, TypeFilter* filter) {
  // No XML text holds a NUL byte.
  if (text.find('\0') != std::string_view::npos) return HRESULT_FROM_WIN32(ERROR_INVALID_DATA);
  std::vector<FilterXmlEntry> entries;
  KD_RETURN_IF_FAILED(ReadFilterXml(text, &entries));
  TypeFilter parsed;
  for (const FilterXmlEntry& entry : entries) {
    std::int32_t number = 0;
    if (!entry.number || !ParseNumber(*entry.number, &number)) return HRESULT_FROM_WIN32(ERROR_INVALID_DATA);
    parsed.enabled[number] = EnabledValue(entry.enabled);
  }
  *filter = std::move(parsed);
  return S_OK;
}

HRESULT LoadTypeFilter(const std::string& nativePath, TypeFilter* filter) {
  // Every process that opens a filter obeys this file: one that another user
  // could have written (or swapped) is no filter file at all. The check
  // vouches for every step of the path, links included, and none of them
  // can change under another user's hand before the read.
  if (std::string why; IsUntrusted(nativePath, &why)) return HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
  kdp::WipedBytes text;
  DWORD error = kdp::ReadWholeFile(nativePath, kMaxFilterBytes, &text);
  // A name that holds no filter file (a missing file, a folder) is no filter.
  kdp::FileInfo info;
  if (error == ERROR_PATH_NOT_FOUND ||
      (error == ERROR_ACCESS_DENIED && kdp::QueryFile(nativePath, &info) == 0 && info.kind != kdp::FileKind::kFile)) {
    error = ERROR_FILE_NOT_FOUND;
  }
  if (error == ERROR_FILE_TOO_LARGE) error = ERROR_INVALID_DATA;
  if (error != 0) return HRESULT_FROM_WIN32(error);
  return ParseTypeFilter(std::string_view(text.chars(), text.size()), filter);
}

HRESULT FormatTypeFilter(const TypeFilter& filter, std::string* text) {
  std::map<std::int32_t, bool> all = filter.enabled;
  for (const auto& type : KnownDeviceTypes()) all.emplace(type.number, true);
  std::vector<FilterXmlEntry> entries;
  for (const auto& [number, enabled] : all) {
    FilterXmlEntry& entry = entries.emplace_back();
    entry.number = std::to_string(number);
    if (const DeviceTypeInfo* info = FindDeviceType(number)) entry.name = std::string(info->name);
    entry.enabled = enabled ? "true" : "false";
  }
  return WriteFilterXml(entries, text);
}

HRESULT SaveTypeFilter(const std::string& nativePath, const TypeFilter& filter) {
  std::string text;
  KD_RETURN_IF_FAILED(FormatTypeFilter(filter, &text));
  // A file no reader would take loses the filter: the old file stays.
  if (text.size() > kMaxFilterBytes) return HRESULT_FROM_WIN32(ERROR_FILE_TOO_LARGE);
  // Every process that opens a filter reads this file, whoever saved it; only
  // its owner may change it, whatever the umask.
  const DWORD error = kdp::ReplaceFileAtomically(nativePath, text.data(), text.size(), kdp::Access::kPublicRead);
  return HRESULT_FROM_WIN32(error == ERROR_FILE_NOT_FOUND ? ERROR_PATH_NOT_FOUND : error);
}

}  // namespace nodyx
