#include "output.h"

#include "failure.h"

#include <kdplatform/printable_text.h>
#include <tools2/errors.h>

#include <algorithm>
#include <cstdio>
#include <iostream>

namespace kdcli {

namespace {

std::string g_command;
bool g_quiet = false;

void ToStandardError(const std::string& text) {
  std::cerr << "keydepot" << g_command << ": " << TerminalText(text) << '\n';
}

}  // namespace

void SetReporting(const std::string& command, bool quiet) {
  g_command = command;
  g_quiet = quiet;
}

bool Quiet() { return g_quiet; }

void PrintJson(const Json& value) {
  // Names and paths come from devices and users; bytes that are not UTF-8
  // are replaced rather than failing the whole answer. Every character
  // beyond ASCII is escaped (\uXXXX) like the control characters are, so
  // that no C1 control or bidirectional formatting character reaches a
  // terminal the JSON is shown on; parsers read the same text.
  std::cout << value.dump(-1, ' ', true, Json::error_handler_t::replace) << '\n';
}

void PrintJsonError(const Failure& failure) {
  Json error = {{"code", static_cast<int>(failure.code())},
                {"toolkit", nullptr},
                {"hresult", nullptr},
                {"message", failure.what()}};
  if (const auto toolkit = failure.toolkit()) {
    char hex[16];
    std::snprintf(hex, sizeof hex, "0x%08X", static_cast<unsigned>(TooErr2HResult(*toolkit)));
    error["toolkit"] = *toolkit;
    error["hresult"] = hex;
  }
  PrintJson({{"error", error}});
}

void PrintFields(const Fields& fields) {
  std::size_t width = 0;
  for (const auto& [label, value] : fields) width = std::max(width, label.size());
  for (const auto& [label, value] : fields) {
    std::cout << label << std::string(width - label.size() + 2, ' ') << TerminalText(value) << '\n';
  }
}

void PrintLine(const std::string& line) { std::cout << TerminalText(line) << '\n'; }

void Say(const std::string& line) {
  if (!g_quiet) PrintLine(line);
}

void Note(const std::string& text) {
  if (!g_quiet) ToStandardError(text);
}

void Warn(const std::string& text) { ToStandardError("warning: " + text); }

void Error(const std::string& text) { ToStandardError(text); }

std::string TerminalText(std::string_view text) { return kdp::PrintableText(text); }

std::string HexBytes(const unsigned char* data, std::size_t size) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string text;
  text.reserve(size * 2);
  for (std::size_t i = 0; i < size; ++i) {
    text += kDigits[data[i] >> 4];
    text += kDigits[data[i] & 0x0F];
  }
  return text;
}

}  // namespace kdcli
