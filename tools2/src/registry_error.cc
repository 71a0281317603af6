#include "tools2/errors.h"
#include "tools2/registry.h"

XTOORegError::XTOORegError(const std::string& key, const std::string& value, int code)
    : m_key(key), m_value(value), m_code(code) {}

std::string XTOORegError::ErrorMessage() const {
  std::string text = "registry key \"" + m_key + "\"";
  if (!m_value.empty()) text += ", value \"" + m_value + "\"";
  return text + ": " + ToolsErrMessage(WinErr2ToolsErr(static_cast<DWORD>(m_code)));
}
