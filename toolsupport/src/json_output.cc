#include "kdtools/json_output.h"

#include "kdtools/failure.h"

#include <tools2/errors.h>

#include <cstring>
#include <iostream>

namespace kdtools {

void PrintJson(const Json& value) { std::cout << value.dump(-1, ' ', true, Json::error_handler_t::replace) << '\n'; }

Json ErrorJson(const Failure& failure) {
  Json error = {{"code", static_cast<int>(failure.code())},
                {"toolkit", nullptr},
                {"hresult", nullptr},
                {"message", failure.what()}};
  if (const auto toolkit = failure.toolkit()) {
    error["toolkit"] = *toolkit;
    error["hresult"] = HresultText(TooErr2HResult(*toolkit));
  }
  return {{"error", error}};
}

void PrintJsonError(const Failure& failure) { PrintJson(ErrorJson(failure)); }

bool WantsJson(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--json") == 0) return true;
  }
  return false;
}

}  // namespace kdtools
