// Lower-casing of one character, the same whatever the process locale: the
// "C.UTF-8" locale's table when the system has it, else ASCII letters only.
#pragma once

namespace kdp::detail {

char32_t ToLowerChar(char32_t cp) noexcept;

}  // namespace kdp::detail
