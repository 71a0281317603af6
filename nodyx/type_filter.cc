#include "type_filter.h"

#include "store/device_types.h"

#include "kdplatform/file_io.h"

#include <boost/property_tree/ptree.hpp>
#include <boost/property_tree/xml_parser.hpp>

#include <sstream>
#include <string_view>

namespace nodyx {

namespace {

namespace pt = boost::property_tree;

constexpr std::size_t kMaxFilterBytes = 1024 * 1024;
// The XML reader recurses once per level of nesting, so a deep file could
// exhaust the stack; a filter file has two levels.
constexpr int kMaxNesting = 32;

// Whether no element of text lies deeper than kMaxNesting. Counts every
// '<' that starts a tag, so markup inside comments or CDATA may count as
// deeper than it is; that only refuses files that are not filters anyway.
bool NestingWithinLimit(std::string_view text) {
  int depth = 0;
  for (std::size_t at = text.find('<'); at < text.size(); at = text.find('<', at + 1)) {
    const char next = at + 1 < text.size() ? text[at + 1] : '\0';
    if (next == '/') {
      --depth;
    } else if (next != '!' && next != '?') {
      // An empty element ("<a/>") closes itself; quoted values may hold '>'.
      char quote = 0;
      std::size_t end = at + 1;
      for (; end < text.size() && (quote != 0 || text[end] != '>'); ++end) {
        if (quote == 0 && (text[end] == '"' || text[end] == '\''))
          quote = text[end];
        else if (text[end] == quote)
          quote = 0;
      }
      if (end >= text.size() || text[end - 1] != '/') ++depth;
      if (depth > kMaxNesting) return false;
      at = end;  // each byte is looked at once
    }
  }
  return true;
}

// The rule these files have always been read with: true is a value that
// starts with 1, t, T, y or Y, and a missing attribute.
bool EnabledValue(const pt::ptree& entry) {
  const auto value = entry.get_optional<std::string>("<xmlattr>.enabled");
  if (!value) return true;
  return !value->empty() && std::string_view("1tTyY").find(value->front()) != std::string_view::npos;
}

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

  // No XML text holds a NUL byte; the reader would stop at it.
  const std::string_view view(text.chars(), text.size());
  if (view.find('\0') != std::string_view::npos || !NestingWithinLimit(view)) {
    return HRESULT_FROM_WIN32(ERROR_INVALID_DATA);
  }
  TypeFilter loaded;
  try {
    std::istringstream in{std::string(view)};
    pt::ptree doc;
    pt::read_xml(in, doc);
    const auto root = doc.get_child_optional("deviceTypeFilter");
    if (!root) return HRESULT_FROM_WIN32(ERROR_INVALID_DATA);
    for (const auto& [name, entry] : *root) {
      if (name != "deviceType") continue;
      const auto number = entry.get_optional<std::string>("<xmlattr>.number");
      if (!number) return HRESULT_FROM_WIN32(ERROR_INVALID_DATA);
      std::istringstream digits(*number);
      long long value = 0;
      if (!(digits >> value) || !digits.eof() || value < INT32_MIN || value > INT32_MAX) {
        return HRESULT_FROM_WIN32(ERROR_INVALID_DATA);
      }
      loaded.enabled[static_cast<std::int32_t>(value)] = EnabledValue(entry);
    }
  } catch (const pt::ptree_error&) {
    return HRESULT_FROM_WIN32(ERROR_INVALID_DATA);
  }
  *filter = std::move(loaded);
  return S_OK;
}

HRESULT SaveTypeFilter(const std::string& nativePath, const TypeFilter& filter) {
  pt::ptree doc;
  pt::ptree& root = doc.add_child("deviceTypeFilter", pt::ptree());
  root.put("<xmlattr>.version", 1);
  std::map<std::int32_t, bool> all = filter.enabled;
  for (const auto& type : KnownDeviceTypes()) all.emplace(type.number, true);
  for (const auto& [number, enabled] : all) {
    pt::ptree& entry = root.add_child("deviceType", pt::ptree());
    entry.put("<xmlattr>.number", number);
    if (const DeviceTypeInfo* info = FindDeviceType(number)) entry.put("<xmlattr>.name", std::string(info->name));
    entry.put("<xmlattr>.enabled", enabled);
  }
  std::ostringstream out;
  pt::write_xml(out, doc, pt::xml_writer_make_settings<std::string>(' ', 2));
  const std::string text = out.str();

  // Every process that opens a filter reads this file, whoever saved it.
  const DWORD error = kdp::ReplaceFileAtomically(nativePath, text.data(), text.size(), kdp::Access::kShared);
  return HRESULT_FROM_WIN32(error == ERROR_FILE_NOT_FOUND ? ERROR_PATH_NOT_FOUND : error);
}

}  // namespace nodyx
