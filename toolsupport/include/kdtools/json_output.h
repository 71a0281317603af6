// JSON for scripts: one object on one line on standard output, the same way
// in both tools.
#pragma once

#include <nlohmann/json.hpp>

namespace kdtools {

class Failure;

using Json = nlohmann::ordered_json;

// Names and paths come from devices and users: bytes that are not UTF-8 are
// replaced, and every character beyond ASCII is escaped (\uXXXX) like the
// control characters, so that none reaches a terminal the JSON is shown on.
void PrintJson(const Json& value);
// {"error": {"code": exit code, "toolkit": code or null, "hresult": "0x..." or
// null, "message": text}}.
Json ErrorJson(const Failure& failure);
void PrintJsonError(const Failure& failure);

// Whether --json stands among the arguments, looked for before the command
// line is parsed so that a usage error is an error object too.
bool WantsJson(int argc, char** argv);

}  // namespace kdtools
