// CTOOString: the toolkit's 8-bit text.
//
// The text owns its buffer and overwrites it with zeros before freeing or
// replacing it, because it may hold a PIN. For the same reason it keeps no
// std::string inside; converting to std::string with Str() makes a copy that
// is NOT wiped, so secret text should stay in a CTOOString.
//
// A CTOOString is a counted run of bytes that is always followed by a zero
// byte. Text from a `const char*` ends at its first zero; Load() and the
// std::string constructor copy exactly the bytes given, embedded zeros
// included. Length() counts every byte, == compares every byte, and the
// `const char*` view ends at the first zero, so to C-string code a text with
// an embedded zero looks shorter than Length().
#pragma once

#include "tools2/export.h"

#include <string>

class TOOLS2_API CTOOString {
 public:
  CTOOString() noexcept = default;
  // A null pointer gives the empty text.
  CTOOString(const char* text);
  CTOOString(const std::string& text);
  CTOOString(const CTOOString& other);
  CTOOString(CTOOString&& other) noexcept;
  ~CTOOString();

  CTOOString& operator=(const char* text);
  CTOOString& operator=(const std::string& text);
  CTOOString& operator=(const CTOOString& other);
  CTOOString& operator=(CTOOString&& other) noexcept;

  CTOOString& operator+=(const char* text);
  CTOOString& operator+=(char c);
  CTOOString& operator+=(const CTOOString& other);

  // Exact byte comparison; a null pointer compares as the empty text.
  bool operator==(const CTOOString& other) const noexcept;
  bool operator==(const char* text) const noexcept;
  bool operator!=(const CTOOString& other) const noexcept { return !(*this == other); }
  bool operator!=(const char* text) const noexcept { return !(*this == text); }

  // Never null; valid until the text is next changed or destroyed.
  operator const char*() const noexcept { return c_str(); }
  const char* c_str() const noexcept { return m_buf != nullptr ? m_buf : ""; }

  unsigned int Length() const noexcept { return m_len; }
  bool IsEmpty() const noexcept { return m_len == 0; }

  // Replaces the text with exactly `size` bytes from `data` (embedded zeros
  // kept, see above); a null `data` gives the empty text.
  CTOOString& Load(const unsigned char* data, unsigned int size);

  // Appends the platform's path separator unless the text already ends in
  // '\' or '/'. The empty text becomes the separator alone.
  CTOOString& StrAddSlash();

  // Wipes and frees the buffer; the text becomes empty.
  void Clear() noexcept;

  // A copy of every byte; the copy is not wiped when it dies.
  std::string Str() const { return std::string(c_str(), m_len); }

 private:
  void Assign(const char* data, unsigned int size);
  void Append(const char* data, std::size_t size);

  char* m_buf = nullptr;  // m_cap + 1 bytes, or null while nothing was stored
  unsigned int m_len = 0;
  unsigned int m_cap = 0;
};

TOOLS2_API CTOOString operator+(const CTOOString& a, const char* b);
TOOLS2_API CTOOString operator+(const CTOOString& a, const CTOOString& b);
