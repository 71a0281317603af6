#include "name_text.h"

#include "oid_names.h"
#include "output.h"

#include <string_view>

namespace kdcli {

namespace {

// How many bytes each character of a string type takes (1: Latin-1, 0:
// UTF-8), by universal tag; -1 for types that hold no text.
int CharacterBytes(std::uint8_t tag) {
  switch (tag) {
    case 12: return 0;  // UTF8String
    case 18:            // NumericString
    case 19:            // PrintableString
    case 20:            // TeletexString
    case 22:            // IA5String
    case 23:            // UTCTime
    case 24:            // GeneralizedTime
    case 26: return 1;  // VisibleString
    case 28: return 4;  // UniversalString
    case 30: return 2;  // BMPString
    default: return -1;
  }
}

void AppendUtf8(char32_t c, std::string* out) {
  if (c < 0x80) {
    *out += static_cast<char>(c);
  } else if (c < 0x800) {
    *out += static_cast<char>(0xC0 | (c >> 6));
    *out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    *out += static_cast<char>(0xE0 | (c >> 12));
    *out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    *out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    *out += static_cast<char>(0xF0 | (c >> 18));
    *out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    *out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    *out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

// The value's characters as UTF-8 text; false for a type without text or
// content that does not split into whole characters.
bool ValueText(const der::Element& value, std::string* text) {
  const int width = CharacterBytes(value.tag);
  if (width < 0 || (width > 1 && value.content.size() % static_cast<std::size_t>(width) != 0)) return false;
  if (width == 0) {
    text->assign(value.content.begin(), value.content.end());
    return true;
  }
  for (std::size_t i = 0; i < value.content.size(); i += static_cast<std::size_t>(width)) {
    char32_t c = 0;
    for (int b = 0; b < width; ++b) c = (c << 8) | value.content[i + static_cast<std::size_t>(b)];
    AppendUtf8(c, text);
  }
  return true;
}

std::string Escaped(const std::string& text) {
  bool quote = false;
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    const bool first = i == 0, last = i + 1 == text.size();
    if (std::string_view(",+<>;").find(static_cast<char>(c)) != std::string_view::npos ||
        (c == ' ' && (first || last)) || (c == '#' && first)) {
      quote = true;
      out += static_cast<char>(c);
    } else if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c < 0x20 || c == 0x7F) {
      out += '\\' + HexBytes(&c, 1);
    } else {
      out += static_cast<char>(c);
    }
  }
  return quote ? '"' + out + '"' : out;
}

std::string AttributeText(const der::NameAttribute& attribute) {
  const std::string_view shortName = AttributeShortName(attribute.oid);
  std::string text = (shortName.empty() ? attribute.oid : std::string(shortName)) + "=";
  const auto value = der::FirstElement(attribute.value);
  std::string characters;
  if (value && ValueText(*value, &characters)) return text + Escaped(characters);
  return text + "#" + HexBytes(attribute.value.data(), attribute.value.size());
}

}  // namespace

std::string NameText(const der::Name& name) {
  std::string text;
  for (const auto& relative : name) {
    if (!text.empty()) text += ", ";
    for (std::size_t i = 0; i < relative.size(); ++i) text += (i > 0 ? " + " : "") + AttributeText(relative[i]);
  }
  return text;
}

}  // namespace kdcli
