// The XML of device-type filter files (type_filter.h), read and written by
// the system's own XML library: pugixml on Linux (filter_xml_pugixml.cc),
// XmlLite on Windows (filter_xml_xmllite.cc), one chosen by CMake. Both read
// without recursing per level of nesting, so no file can exhaust the stack.
// This seam knows the file's elements and attributes only; what their values
// mean is type_filter.cc's.
//
// Thread rules: any thread; nothing is shared between calls.
#pragma once

#include "kdplatform/win32.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace nodyx {

// Deeper element nesting is refused; a filter file has two levels.
inline constexpr unsigned kMaxFilterXmlDepth = 32;

// The attributes of one deviceType element, as the file spells them (entities
// decoded); nullopt for an attribute the element lacks.
struct FilterXmlEntry {
  std::optional<std::string> number, name, enabled;
};

// The deviceType elements directly inside the document element, in file
// order. HRESULT_FROM_WIN32(ERROR_INVALID_DATA) when `text` is not one
// well-formed XML document (one element at the top, no text beside it), when
// it has a document type declaration, nests elements deeper than
// kMaxFilterXmlDepth, or when its document element is not deviceTypeFilter;
// another failure when the library itself fails (out of memory; on Windows
// XmlLite missing). Other elements and attributes are ignored. *entries
// changes only on success.
HRESULT ReadFilterXml(std::string_view text, std::vector<FilterXmlEntry>* entries);

// The text of a filter file: an XML declaration (UTF-8), <deviceTypeFilter
// version="1"> and one deviceType element per entry, in order, with the
// attributes the entry has, one element per line. Fails only when the
// library does (as ReadFilterXml). The component's values are numbers,
// "true"/"false" and its own type names: escaping anything else is left to
// the library (pugixml and Windows' XmlLite escape; Wine's XmlLite does not).
HRESULT WriteFilterXml(const std::vector<FilterXmlEntry>& entries, std::string* text);

}  // namespace nodyx
