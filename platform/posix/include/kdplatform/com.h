// COM support on Linux beyond the basics (kdplatform/com_base.h): BSTR,
// _bstr_t and _com_error.
#pragma once

#include "kdplatform/com_base.h"
#include "kdplatform/errors.h"
#include "kdplatform/export.h"
#include "kdplatform/types.h"

#define IsEqualIID(a, b) IsEqualGUID(a, b)
#define IsEqualCLSID(a, b) IsEqualGUID(a, b)

// In namespace kdp, so that the process's global C names stay free for the
// system and for other libraries that imitate the same calls; code calls
// them by their plain names through the using-declarations below.
namespace kdp {
KDPLATFORM_API BSTR WINAPI SysAllocString(const OLECHAR* text);
KDPLATFORM_API BSTR WINAPI SysAllocStringLen(const OLECHAR* text, UINT length);
KDPLATFORM_API void WINAPI SysFreeString(BSTR text);
KDPLATFORM_API UINT WINAPI SysStringLen(BSTR text);
}  // namespace kdp

using kdp::SysAllocString;
using kdp::SysAllocStringLen;
using kdp::SysFreeString;
using kdp::SysStringLen;

// The COM-support error: carries a failure HRESULT. Thrown by _bstr_t and by
// _com_issue_error; the library never catches it.
class KDPLATFORM_VISIBLE _com_error {
 public:
  explicit _com_error(HRESULT hr) noexcept : hr_(hr) {}
  HRESULT Error() const noexcept { return hr_; }
  // A short English text for the code, such as "E_INVALIDARG"-style names
  // where known, else "Unknown error 0x...". Never null.
  KDPLATFORM_API const char* ErrorMessage() const noexcept;

 private:
  HRESULT hr_;
  mutable char message_[64] = {};
};

[[noreturn]] KDPLATFORM_API void _com_issue_error(HRESULT hr);

// Owns a BSTR converted from ANSI text (CP_ACP). Conversion or allocation
// failure throws _com_error (E_OUTOFMEMORY, or HRESULT_FROM_WIN32 of the
// conversion error). The text is freed with SysFreeString when the object
// dies. Copying shares nothing: each copy owns its own BSTR.
class KDPLATFORM_VISIBLE _bstr_t {
 public:
  _bstr_t() noexcept = default;
  KDPLATFORM_API explicit _bstr_t(const char* text);
  KDPLATFORM_API explicit _bstr_t(const wchar_t* text);
  KDPLATFORM_API _bstr_t(const _bstr_t& other);
  KDPLATFORM_API _bstr_t& operator=(const _bstr_t& other);
  KDPLATFORM_API ~_bstr_t();

  operator const wchar_t*() const noexcept { return text_; }
  UINT length() const noexcept { return text_ ? SysStringLen(text_) : 0; }

 private:
  BSTR text_ = nullptr;
};
