#include "kdtools/failure.h"

#include <tools2/errors.h>

#include <cstdio>

namespace kdtools {

std::string HresultText(HRESULT hr) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(hr));
  return text;
}

std::string DescribeHresult(HRESULT hr) {
  const std::string name = _com_error(hr).ErrorMessage();
  std::string text = "HRESULT " + HresultText(hr);
  if (name.rfind("Unknown error", 0) != 0) text += " " + name;
  return text;
}

std::string DescribeToolsCode(int code) {
  std::string text = "toolkit code " + std::to_string(code) + " (" + ToolsErrMessage(code) + ")";
  // Codes that stand for a Win32 error or an HRESULT also get the HRESULT's
  // name, which is what component documentation uses.
  if (code < 0 || code > 0xFFFF) text += ", " + DescribeHresult(TooErr2HResult(code));
  return text;
}

}  // namespace kdtools
