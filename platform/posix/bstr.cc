// BSTR allocation: a 32-bit byte length, the text, a zero wide character. The
// text is wiped before it is freed, since BSTRs may carry PINs.
#include "kdplatform/com.h"

#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <limits>

namespace {

using LengthPrefix = std::uint32_t;

LengthPrefix* PrefixOf(BSTR text) {
  return reinterpret_cast<LengthPrefix*>(reinterpret_cast<unsigned char*>(text) - sizeof(LengthPrefix));
}

}  // namespace

BSTR WINAPI kdp::SysAllocStringLen(const OLECHAR* text, UINT length) {
  constexpr std::size_t kMaxLength =
      (std::numeric_limits<LengthPrefix>::max() - sizeof(LengthPrefix) - sizeof(OLECHAR)) / sizeof(OLECHAR);
  if (length > kMaxLength) return nullptr;
  const std::size_t bytes = static_cast<std::size_t>(length) * sizeof(OLECHAR);
  void* block = std::malloc(sizeof(LengthPrefix) + bytes + sizeof(OLECHAR));
  if (!block) return nullptr;
  *static_cast<LengthPrefix*>(block) = static_cast<LengthPrefix>(bytes);
  BSTR result = reinterpret_cast<BSTR>(static_cast<unsigned char*>(block) + sizeof(LengthPrefix));
  if (text) {
    std::memcpy(result, text, bytes);
  } else {
    std::memset(result, 0, bytes);
  }
  result[length] = L'\0';
  return result;
}

BSTR WINAPI kdp::SysAllocString(const OLECHAR* text) {
  if (!text) return nullptr;
  const std::size_t length = std::wcslen(text);
  if (length > std::numeric_limits<UINT>::max()) return nullptr;
  return SysAllocStringLen(text, static_cast<UINT>(length));
}

UINT WINAPI kdp::SysStringLen(BSTR text) { return text ? static_cast<UINT>(*PrefixOf(text) / sizeof(OLECHAR)) : 0; }

void WINAPI kdp::SysFreeString(BSTR text) {
  if (!text) return;
  LengthPrefix* block = PrefixOf(text);
  explicit_bzero(block, sizeof(LengthPrefix) + *block + sizeof(OLECHAR));
  std::free(block);
}
