#include "tools2/filename.h"

#include <string_view>

namespace TOO {

namespace {

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

bool HasDrive(std::string_view p) { return p.size() >= 2 && p[1] == ':'; }

// Index where the final component starts.
std::size_t NameStart(std::string_view p) {
  for (std::size_t i = p.size(); i > 0; --i) {
    if (IsSeparator(p[i - 1])) {
      return i;
    }
  }
  return HasDrive(p) ? 2u : 0u;
}

CTOOString Make(std::string_view p) {
  return CTOOString().Load(reinterpret_cast<const unsigned char*>(p.data()), static_cast<unsigned int>(p.size()));
}

}  // namespace

FILENAME::FILENAME(const char* path) : m_path(path) {}
FILENAME::FILENAME(const std::string& path) : m_path(path) {}
FILENAME::FILENAME(const CTOOString& path) : m_path(path) {}

CTOOString FILENAME::ExtractFilePath() const {
  const std::string_view p(m_path.c_str(), m_path.Length());
  std::size_t end = NameStart(p);
  if (end == 0) {
    return CTOOString(".");
  }
  while (end > 0 && IsSeparator(p[end - 1])) {
    --end;
  }
  return Make(p.substr(0, end));
}

CTOOString FILENAME::ExtractFileName() const {
  const std::string_view p(m_path.c_str(), m_path.Length());
  return Make(p.substr(NameStart(p)));
}

CTOOString FILENAME::ExtractFileExt() const {
  const std::string_view p(m_path.c_str(), m_path.Length());
  const std::string_view name = p.substr(NameStart(p));
  const std::size_t dot = name.rfind('.');
  return dot == std::string_view::npos ? CTOOString() : Make(name.substr(dot));
}

FILENAME& FILENAME::operator+=(const char* text) {
  m_path += text;
  return *this;
}

FILENAME& FILENAME::operator+=(const CTOOString& text) {
  m_path += text;
  return *this;
}

}  // namespace TOO
