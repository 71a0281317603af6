#include "output.h"

#include <kdplatform/printable_text.h>

#include <algorithm>
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

}  // namespace kdcli
