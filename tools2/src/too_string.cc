#include "tools2/too_string.h"

#include <kdplatform/secure_zero.h>

#include <kdplatform/win32.h>

#include <cstring>
#include <limits>
#include <new>
#include <stdexcept>

namespace {

constexpr std::size_t kMaxLength = std::numeric_limits<unsigned int>::max() - 1u;

unsigned int CheckedLength(std::size_t n) {
  if (n > kMaxLength) {
    throw std::length_error("CTOOString: text too long");
  }
  return static_cast<unsigned int>(n);
}

}  // namespace

CTOOString::CTOOString(const char* text) {
  if (text != nullptr) {
    Append(text, std::strlen(text));
  }
}

CTOOString::CTOOString(const std::string& text) { Append(text.data(), text.size()); }

CTOOString::CTOOString(const CTOOString& other) { Append(other.m_buf, other.m_len); }

CTOOString::CTOOString(CTOOString&& other) noexcept : m_buf(other.m_buf), m_len(other.m_len), m_cap(other.m_cap) {
  other.m_buf = nullptr;
  other.m_len = 0;
  other.m_cap = 0;
}

CTOOString::~CTOOString() { Clear(); }

CTOOString& CTOOString::operator=(const char* text) {
  Assign(text, text != nullptr ? CheckedLength(std::strlen(text)) : 0u);
  return *this;
}

CTOOString& CTOOString::operator=(const std::string& text) {
  Assign(text.data(), CheckedLength(text.size()));
  return *this;
}

CTOOString& CTOOString::operator=(const CTOOString& other) {
  if (this != &other) {
    Assign(other.m_buf, other.m_len);
  }
  return *this;
}

CTOOString& CTOOString::operator=(CTOOString&& other) noexcept {
  if (this != &other) {
    Clear();
    m_buf = other.m_buf;
    m_len = other.m_len;
    m_cap = other.m_cap;
    other.m_buf = nullptr;
    other.m_len = 0;
    other.m_cap = 0;
  }
  return *this;
}

CTOOString& CTOOString::operator+=(const char* text) {
  if (text != nullptr) {
    Append(text, std::strlen(text));
  }
  return *this;
}

CTOOString& CTOOString::operator+=(char c) {
  Append(&c, 1);
  return *this;
}

CTOOString& CTOOString::operator+=(const CTOOString& other) {
  Append(other.m_buf, other.m_len);
  return *this;
}

bool CTOOString::operator==(const CTOOString& other) const noexcept {
  return m_len == other.m_len && (m_len == 0 || std::memcmp(m_buf, other.m_buf, m_len) == 0);
}

bool CTOOString::operator==(const char* text) const noexcept {
  if (text == nullptr) {
    return m_len == 0;
  }
  // Compare without strlen of `text`: its length may far exceed ours.
  const char* mine = c_str();
  for (unsigned int i = 0; i < m_len; ++i) {
    if (text[i] != mine[i] || text[i] == '\0') {
      return false;
    }
  }
  return text[m_len] == '\0';
}

CTOOString& CTOOString::Load(const unsigned char* data, unsigned int size) {
  Assign(reinterpret_cast<const char*>(data), data != nullptr ? size : 0u);
  return *this;
}

CTOOString& CTOOString::StrAddSlash() {
  if (m_len == 0 || (m_buf[m_len - 1] != '\\' && m_buf[m_len - 1] != '/')) {
    *this += KDP_PATH_SEPARATOR;
  }
  return *this;
}

void CTOOString::Clear() noexcept {
  if (m_buf != nullptr) {
    SecureZeroMemory(m_buf, static_cast<std::size_t>(m_cap) + 1u);
    delete[] m_buf;
  }
  m_buf = nullptr;
  m_len = 0;
  m_cap = 0;
}

void CTOOString::Assign(const char* data, unsigned int size) {
  if (size <= m_cap && m_buf != nullptr) {
    // In place; the source may lie inside our own buffer.
    if (size != 0) {
      std::memmove(m_buf, data, size);
    }
    SecureZeroMemory(m_buf + size, static_cast<std::size_t>(m_len > size ? m_len - size : 0u));
    m_len = size;
    m_buf[m_len] = '\0';
    return;
  }
  CTOOString fresh;
  fresh.Append(data, size);
  *this = std::move(fresh);
}

void CTOOString::Append(const char* data, std::size_t size) {
  if (size == 0) {
    return;
  }
  const unsigned int newLen = CheckedLength(static_cast<std::size_t>(m_len) + size);
  if (m_buf == nullptr || newLen > m_cap) {
    std::size_t cap = static_cast<std::size_t>(m_cap) * 2u;
    if (cap < newLen) {
      cap = newLen;
    }
    if (cap < 15u) {
      cap = 15u;
    }
    if (cap > kMaxLength) {
      cap = kMaxLength;
    }
    char* grown = new char[cap + 1u];
    if (m_len != 0) {
      std::memcpy(grown, m_buf, m_len);
    }
    // `data` may lie inside the old buffer, which is freed only afterwards.
    std::memcpy(grown + m_len, data, size);
    grown[newLen] = '\0';
    Clear();
    m_buf = grown;
    m_cap = static_cast<unsigned int>(cap);
  } else {
    std::memmove(m_buf + m_len, data, size);
    m_buf[newLen] = '\0';
  }
  m_len = newLen;
}

CTOOString operator+(const CTOOString& a, const char* b) {
  CTOOString result(a);
  result += b;
  return result;
}

CTOOString operator+(const CTOOString& a, const CTOOString& b) {
  CTOOString result(a);
  result += b;
  return result;
}
