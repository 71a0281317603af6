// The device-type filter file's text on every system: pugixml reads it on
// Linux, XmlLite on Windows (under Wine here), and both must agree.
#include "filter_xml.h"
#include "type_filter.h"

#include "kdtest/temp_folder.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>

namespace nodyx {
namespace {

constexpr HRESULT kInvalid = HRESULT_FROM_WIN32(ERROR_INVALID_DATA);

std::map<std::int32_t, bool> Parsed(const std::string& text) {
  TypeFilter filter;
  EXPECT_EQ(ParseTypeFilter(text, &filter), S_OK) << text;
  return filter.enabled;
}

HRESULT Parse(const std::string& text) {
  TypeFilter filter;
  filter.enabled[7] = false;
  const HRESULT hr = ParseTypeFilter(text, &filter);
  if (FAILED(hr)) {
    EXPECT_EQ(filter.enabled, (std::map<std::int32_t, bool>{{7, false}})) << "changed on failure";
  }
  return hr;
}

std::string Repeat(const std::string& part, int times) {
  std::string text;
  for (int i = 0; i < times; ++i) text += part;
  return text;
}

// Elements nested `depth` deep, the outermost a deviceTypeFilter.
std::string Nested(int depth) {
  return "<deviceTypeFilter>" + Repeat("<a>", depth - 1) + Repeat("</a>", depth - 1) + "</deviceTypeFilter>";
}

TEST(FilterFileText, FilesAsTheyHaveAlwaysBeenWrittenReadTheSame) {
  // As the component writes it, and as earlier versions did (" />", no
  // encoding in the declaration), with the markup a hand may add.
  EXPECT_EQ(Parsed(R"(<?xml version="1.0" encoding="utf-8"?>
<deviceTypeFilter version="1">
  <deviceType number="100" name="SoftToken" enabled="true"/>
  <deviceType number="200" name="SoftCrypto" enabled="false"/>
</deviceTypeFilter>
)"),
            (std::map<std::int32_t, bool>{{100, true}, {200, false}}));
  EXPECT_EQ(Parsed("<?xml version=\"1.0\"?>\r\n<deviceTypeFilter version=\"1\">\r\n"
                   "  <!-- </ </ a note -->\r\n  <deviceType number=\"300\" enabled=\"0\" />\r\n"
                   "  <?note x?><other><deviceType number=\"5\" enabled=\"no\"/></other>\r\n"
                   "  <![CDATA[<deviceType number=\"6\"/>]]>text\r\n"
                   "</deviceTypeFilter>\r\n<!-- after -->\r\n"),
            (std::map<std::int32_t, bool>{{300, false}}));
  EXPECT_TRUE(Parsed("<deviceTypeFilter/>").empty());

  // number: decimal, leading blanks and a sign, the whole 32-bit range,
  // entities decoded; a later entry for the same number wins.
  EXPECT_EQ(Parsed(R"(<deviceTypeFilter>
    <deviceType number=" 5"/><deviceType number="-2147483648" enabled="0"/>
    <deviceType number="+2147483647" enabled="0"/><deviceType number="&#x31;0" enabled="f"/>
    <deviceType number="007" enabled="n"/><deviceType number="7" enabled="Y"/></deviceTypeFilter>)"),
            (std::map<std::int32_t, bool>{{5, true}, {INT32_MIN, false}, {INT32_MAX, false}, {10, false}, {7, true}}));

  // enabled: true when missing or starting with 1, t, T, y or Y.
  for (const char* on : {"1", "true", "T", "yes", "Y", "tomato", "1000"}) {
    EXPECT_EQ(
        Parsed(std::string("<deviceTypeFilter><deviceType number=\"1\" enabled=\"") + on + "\"/></deviceTypeFilter>"),
        (std::map<std::int32_t, bool>{{1, true}}))
        << on;
  }
  for (const char* off : {"", "0", "false", "no", "N", " true", "on", "enabled"}) {
    EXPECT_EQ(
        Parsed(std::string("<deviceTypeFilter><deviceType number=\"1\" enabled=\"") + off + "\"/></deviceTypeFilter>"),
        (std::map<std::int32_t, bool>{{1, false}}))
        << off;
  }
}

TEST(FilterFileText, WhatIsNotAFilterIsRefusedAndChangesNothing) {
  for (const std::string& text : std::initializer_list<std::string>{
           "",
           "not xml",
           "<other/>",
           "<!-- only a comment -->",
           "<deviceTypeFilter>",
           "<deviceTypeFilter></other>",
           "<deviceTypeFilter><deviceType number=\"1\"></deviceTypeFilter>",
           "<deviceTypeFilter><deviceType/></deviceTypeFilter>",
           "<deviceTypeFilter><deviceType number=\"\"/></deviceTypeFilter>",
           "<deviceTypeFilter><deviceType number=\"1x0\"/></deviceTypeFilter>",
           "<deviceTypeFilter><deviceType number=\"5 \"/></deviceTypeFilter>",
           "<deviceTypeFilter><deviceType number=\"0x10\"/></deviceTypeFilter>",
           "<deviceTypeFilter><deviceType number=\"2147483648\"/></deviceTypeFilter>",
           "<deviceTypeFilter><deviceType number=\"-2147483649\"/></deviceTypeFilter>",
           "<deviceTypeFilter><deviceType number=\"99999999999999999999\"/></deviceTypeFilter>",
           // One document, and no document type (entities could be defined there).
           "<deviceTypeFilter/><deviceTypeFilter/>",
           "<other/><deviceTypeFilter/>",
           "text<deviceTypeFilter/>",
           "<deviceTypeFilter/>text",
           "<!DOCTYPE deviceTypeFilter [<!ENTITY n \"1\">]><deviceTypeFilter/>",
           std::string("<deviceTypeFilter>\0<deviceType number=\"1\"/></deviceTypeFilter>", 62),
       }) {
    EXPECT_EQ(Parse(text), kInvalid) << text;
  }
}

TEST(FilterFileText, NestingIsLimitedWithoutRecursion) {
  EXPECT_EQ(Parse(Nested(static_cast<int>(kMaxFilterXmlDepth))), S_OK);
  EXPECT_EQ(Parse(Nested(static_cast<int>(kMaxFilterXmlDepth) + 1)), kInvalid);
  // Far deeper than any stack would hold, were the reader to recurse.
  EXPECT_EQ(Parse(Nested(150000)), kInvalid);
}

TEST(FilterFileText, FilesAreReadUpTo64KiBAndTheOneThatCrashedTheToolsIsRefused) {
  const kdtest::TempFolder folder;
  TypeFilter filter;
  const auto load = [&](const std::string& name, const std::string& text) {
    const std::string path = folder / name;
    std::ofstream(path, std::ios::binary) << text;
    return LoadTypeFilter(path, &filter);
  };
  const std::string entry = "<deviceTypeFilter><deviceType number=\"7\" enabled=\"false\"/></deviceTypeFilter>";
  const std::size_t limit = 64 * 1024;
  EXPECT_EQ(load("full.xml", entry + std::string(limit - entry.size(), '\n')), S_OK);
  EXPECT_FALSE(filter.enabled.at(7));
  EXPECT_EQ(load("over.xml", entry + std::string(limit + 1 - entry.size(), '\n')), kInvalid);

  // Markup inside a comment made the old nesting pre-check count levels up,
  // so the nesting that follows passed it and overflowed the old reader's
  // stack; the file as it was found, then the same within the bound.
  EXPECT_EQ(load("deep.xml", "<!--" + Repeat("</", 150000) + "-->" + Repeat("<a>", 150000)), kInvalid);
  EXPECT_EQ(load("deep-small.xml", "<!--" + Repeat("</", 10000) + "-->" + Repeat("<a>", 10000)), kInvalid);
}

TEST(FilterFileText, WhatIsWrittenReadsBackTheSame) {
  std::vector<FilterXmlEntry> entries = {
      {"100", "SoftToken", "true"}, {"-5", std::nullopt, "false"}, {"7", "Seven Token", std::nullopt}};
  std::string text;
  ASSERT_EQ(WriteFilterXml(entries, &text), S_OK);
  EXPECT_EQ(text.rfind("<?xml version=\"1.0\" encoding=\"", 0), 0u) << text;
  EXPECT_NE(text.find("<deviceTypeFilter version=\"1\">"), std::string::npos) << text;
  EXPECT_NE(text.find("<deviceType number=\"100\" name=\"SoftToken\" enabled=\"true\""), std::string::npos) << text;
  std::vector<FilterXmlEntry> read;
  ASSERT_EQ(ReadFilterXml(text, &read), S_OK) << text;
  ASSERT_EQ(read.size(), entries.size());
  for (std::size_t i = 0; i < read.size(); ++i) {
    EXPECT_EQ(read[i].number, entries[i].number);
    EXPECT_EQ(read[i].name, entries[i].name);
    EXPECT_EQ(read[i].enabled, entries[i].enabled);
  }

  // A saved filter: every known type and every number it holds.
  const kdtest::TempFolder folder;
  TypeFilter filter;
  filter.enabled = {{200, false}, {4711, false}, {INT32_MIN, true}};
  ASSERT_EQ(SaveTypeFilter(folder / "filter.xml", filter), S_OK);
  TypeFilter loaded;
  ASSERT_EQ(LoadTypeFilter(folder / "filter.xml", &loaded), S_OK);
  EXPECT_EQ(loaded.enabled,
            (std::map<std::int32_t, bool>{
                {INT32_MIN, true}, {100, true}, {101, true}, {102, true}, {200, false}, {300, true}, {4711, false}}));

  // A filter too large to be read again is not saved over the one that is.
  TypeFilter huge;
  for (std::int32_t number = 1000; number < 4000; ++number) huge.enabled[number] = false;
  EXPECT_EQ(SaveTypeFilter(folder / "filter.xml", huge), HRESULT_FROM_WIN32(ERROR_FILE_TOO_LARGE));
  TypeFilter kept;
  ASSERT_EQ(LoadTypeFilter(folder / "filter.xml", &kept), S_OK);
  EXPECT_EQ(kept.enabled, loaded.enabled);
}

}  // namespace
}  // namespace nodyx
