#include "report.h"

#include "tools2/errors.h"

#include <kdplatform/printable_text.h>

#include <iostream>

namespace nodyx::admin {

namespace {

bool g_json = false;
std::optional<kdtools::Failure> g_failure;

}  // namespace

void SetJsonOutput(bool json) { g_json = json; }

bool JsonOutput() { return g_json; }

std::ostream& Out() {
  static std::ostream nowhere(nullptr);
  return g_json ? nowhere : std::cout;
}

Json& Result() {
  static Json result = Json::object();
  return result;
}

int Report(ExitCode code, const std::string& message, std::optional<HRESULT> hr) {
  std::cerr << "nodyx-admin: " << kdp::PrintableText(message) << "\n";
  if (!g_failure) {
    g_failure.emplace(code, message, hr ? std::optional<int>(HResult2ToolsErr(*hr)) : std::nullopt);
  }
  return code;
}

int Report(const kdtools::Failure& failure) {
  std::cerr << "nodyx-admin: " << kdp::PrintableText(failure.what()) << "\n";
  if (!g_failure) g_failure.emplace(failure);
  return failure.code();
}

int Finish(int rc) {
  if (!g_json) return rc;
  // A command that answers no (pin status) without a failure has a result.
  if (rc == kOk || (!g_failure && !Result().empty())) {
    kdtools::PrintJson(Result());
  } else {
    kdtools::PrintJsonError(g_failure ? *g_failure : kdtools::Failure(static_cast<ExitCode>(rc), "nodyx-admin failed"));
  }
  return rc;
}

}  // namespace nodyx::admin
