#include "case_fold.h"

#include <clocale>
#include <cwctype>
#include <locale.h>

namespace kdp::detail {

namespace {

// Created once and kept for the life of the process; null when the system
// has no C.UTF-8 locale.
locale_t Utf8Locale() noexcept {
  static const locale_t locale = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(nullptr));
  return locale;
}

}  // namespace

char32_t ToLowerNonAscii(char32_t cp) noexcept {
  const locale_t locale = Utf8Locale();
  if (!locale) return cp;
  return static_cast<char32_t>(towlower_l(static_cast<wint_t>(cp), locale));
}

}  // namespace kdp::detail
