// Printing results: JSON for scripts (one object, one line, on standard
// output) or aligned "label  value" lines for people; remarks and warnings on
// standard error. main() sets the command name and --quiet once, before the
// command runs.
#pragma once

#include <kdtools/json_output.h>
#include <store/hex.h>

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kdcli {

using kdtools::Json;
using kdtools::PrintJson;
using kdtools::PrintJsonError;
using Fields = std::vector<std::pair<std::string, std::string>>;

// command: " load", " pin show" (the words after "keydepot").
void SetReporting(const std::string& command, bool quiet);
bool Quiet();

// Every line for people goes through these functions, which clean it with
// kdp::PrintableText: names, labels and paths come from devices, stores,
// items and other users, and none may drive the terminal. JSON carries the
// text exactly instead (the JSON library escapes it).
//
// Labels padded to one column.
void PrintFields(const Fields& fields);
// A line for people on standard output, also with --quiet (the data asked
// for).
void PrintLine(const std::string& line);
// A line for people on standard output; nothing with --quiet.
void Say(const std::string& line);
// "keydepot <command>: <text>" on standard error; Note says nothing with
// --quiet, Warn always speaks (it is about safety), Error is for failures.
void Note(const std::string& text);
void Warn(const std::string& text);
void Error(const std::string& text);
// text as the functions above print it: for a message written another way
// (a prompt).
std::string TerminalText(std::string_view text);
// Identifier bytes as upper-case hex ("" for none): the store's encoder.
inline std::string HexBytes(const unsigned char* data, std::size_t size) { return nodyx::ToHex(data, size); }

}  // namespace kdcli
