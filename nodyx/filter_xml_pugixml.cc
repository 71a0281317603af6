// Filter files through pugixml, whose parser, tree walk and tree teardown
// all loop rather than recurse.
#include "filter_xml.h"

#include <pugixml.hpp>

#include <sstream>

namespace nodyx {

namespace {

constexpr char kRootName[] = "deviceTypeFilter";
constexpr char kEntryName[] = "deviceType";

// Stops at the first element deeper than kMaxFilterXmlDepth.
class DepthCheck final : public pugi::xml_tree_walker {
 public:
  bool for_each(pugi::xml_node& node) override {
    // depth() is 0 for the document's own children: element depth 1.
    return node.type() != pugi::node_element || static_cast<unsigned>(depth()) < kMaxFilterXmlDepth;
  }
};

// One element at the top and nothing beside it but comments and processing
// instructions, which this parse does not keep. Fragment mode keeps text
// found beside the document element, so that it can be refused here.
pugi::xml_node DocumentElement(const pugi::xml_document& doc) {
  pugi::xml_node element;
  for (const pugi::xml_node& node : doc.children()) {
    if (node.type() != pugi::node_element || element) return {};
    element = node;
  }
  return element;
}

std::optional<std::string> Attribute(const pugi::xml_node& node, const char* name) {
  const pugi::xml_attribute attribute = node.attribute(name);
  if (!attribute) return std::nullopt;
  return std::string(attribute.value());
}

// pugixml reports running out of memory with an empty node or a false
// set_value, never by throwing.
bool AddAttribute(pugi::xml_node& node, const char* name, const char* value) {
  return node.append_attribute(name).set_value(value);
}
bool AddAttribute(pugi::xml_node& node, const char* name, const std::optional<std::string>& value) {
  return !value || AddAttribute(node, name, value->c_str());
}

}  // namespace

HRESULT ReadFilterXml(std::string_view text, std::vector<FilterXmlEntry>* entries) {
  constexpr HRESULT kInvalid = HRESULT_FROM_WIN32(ERROR_INVALID_DATA);
  pugi::xml_document doc;
  // parse_doctype keeps a document type declaration, so that it is refused.
  const unsigned options = pugi::parse_default | pugi::parse_doctype | pugi::parse_fragment;
  const pugi::xml_parse_result parsed = doc.load_buffer(text.data(), text.size(), options, pugi::encoding_auto);
  if (parsed.status == pugi::status_out_of_memory) return E_OUTOFMEMORY;
  if (!parsed) return kInvalid;
  DepthCheck depth;
  if (!doc.traverse(depth)) return kInvalid;
  const pugi::xml_node root = DocumentElement(doc);
  if (!root || std::string_view(root.name()) != kRootName) return kInvalid;
  std::vector<FilterXmlEntry> read;
  for (const pugi::xml_node& entry : root.children(kEntryName)) {
    read.push_back({Attribute(entry, "number"), Attribute(entry, "name"), Attribute(entry, "enabled")});
  }
  *entries = std::move(read);
  return S_OK;
}

HRESULT WriteFilterXml(const std::vector<FilterXmlEntry>& entries, std::string* text) {
  pugi::xml_document doc;
  pugi::xml_node declaration = doc.append_child(pugi::node_declaration);
  pugi::xml_node root = doc.append_child(kRootName);
  if (!AddAttribute(declaration, "version", "1.0") || !AddAttribute(declaration, "encoding", "utf-8") ||
      !AddAttribute(root, "version", "1")) {
    return E_OUTOFMEMORY;
  }
  for (const FilterXmlEntry& entry : entries) {
    pugi::xml_node element = root.append_child(kEntryName);
    if (!AddAttribute(element, "number", entry.number) || !AddAttribute(element, "name", entry.name) ||
        !AddAttribute(element, "enabled", entry.enabled)) {
      return E_OUTOFMEMORY;
    }
  }
  std::ostringstream out;
  doc.save(out, "  ", pugi::format_indent, pugi::encoding_utf8);
  *text = out.str();
  return S_OK;
}

}  // namespace nodyx
