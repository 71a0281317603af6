// What MinGW's COM-support classes (_bstr_t in <comutil.h>) call out of line.
// The Microsoft compiler takes these from its comsupp library; MinGW ships
// none. The contract is the Linux layer's (docs/platform.md, "COM"): null
// text gives a null BSTR, allocation failure throws
// _com_error(E_OUTOFMEMORY), a conversion failure
// _com_error(HRESULT_FROM_WIN32(GetLastError())).
#include "kdplatform/ansi_text.h"
#include "kdplatform/com.h"

#include <cstring>
#include <new>
#include <string>

namespace _com_util {

BSTR WINAPI ConvertStringToBSTR(const char* text) {
  if (!text) return nullptr;
  const int length = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
  if (length <= 0) _com_issue_error(HRESULT_FROM_WIN32(GetLastError()));
  BSTR result = SysAllocStringLen(nullptr, static_cast<UINT>(length - 1));
  if (!result) _com_issue_error(E_OUTOFMEMORY);
  if (MultiByteToWideChar(CP_ACP, 0, text, -1, result, length) <= 0) {
    const DWORD error = GetLastError();
    SysFreeString(result);
    _com_issue_error(HRESULT_FROM_WIN32(error));
  }
  return result;
}

// Freed by _bstr_t with delete[].
char* WINAPI ConvertBSTRToString(BSTR text) {
  if (!text) return nullptr;
  std::string ansi;
  if (const DWORD error = kdp::WideToAnsi(text, static_cast<int>(SysStringLen(text)), &ansi)) {
    _com_issue_error(HRESULT_FROM_WIN32(error));
  }
  char* result = new (std::nothrow) char[ansi.size() + 1];
  if (!result) _com_issue_error(E_OUTOFMEMORY);
  std::memcpy(result, ansi.c_str(), ansi.size() + 1);
  return result;
}

}  // namespace _com_util
