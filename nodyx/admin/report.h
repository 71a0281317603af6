// How nodyx-admin answers, the way keydepot does: words for people on
// standard output and errors on standard error, or with --json one JSON
// object on standard output, the command's result or keydepot's error
// object. Exit codes are keydepot's (kdtools/exit_codes.h). A command
// reports its failure once, through Report, and returns the code Report
// gives; main() ends with Finish. One thread.
#pragma once

#include <kdplatform/win32.h>
#include <kdtools/exit_codes.h>
#include <kdtools/failure.h>
#include <kdtools/json_output.h>

#include <optional>
#include <ostream>
#include <string>

namespace nodyx::admin {

using kdtools::ExitCode;
using kdtools::Json;
using enum kdtools::ExitCode;

void SetJsonOutput(bool json);
bool JsonOutput();
// Lines for people: standard output, or nowhere with --json. Values from
// the store are cleaned (kdp::PrintableText) before they go in.
std::ostream& Out();
// The command's JSON result, printed by Finish when it succeeds.
Json& Result();

// Says "nodyx-admin: <message>" on standard error, cleaned for the terminal,
// and keeps it for the JSON error object; returns code. hr: the failure code
// behind it, when there is one (the object's "toolkit" and "hresult").
int Report(ExitCode code, const std::string& message, std::optional<HRESULT> hr = std::nullopt);
// Report for a kdtools::Failure thrown by the shared code (PIN sources).
int Report(const kdtools::Failure& failure);

// With --json prints the result (rc 0, or an answer of no that reported no
// failure) or the error object; returns rc.
int Finish(int rc);

}  // namespace nodyx::admin
