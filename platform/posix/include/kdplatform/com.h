// COM basics on Linux: GUIDs, IUnknown, IPersistFile, BSTR, _bstr_t and
// _com_error.
// Interfaces are plain abstract structs: slot 0 is QueryInterface, 1 AddRef,
// 2 Release, then the interface's own operations in declaration order, which
// is the order of the virtual table with GCC as with MSVC.
#pragma once

#include "kdplatform/com_iid.h"
#include "kdplatform/errors.h"
#include "kdplatform/export.h"
#include "kdplatform/types.h"

#include <cstring>

struct GUID {
  std::uint32_t Data1;
  std::uint16_t Data2;
  std::uint16_t Data3;
  std::uint8_t Data4[8];
};
using IID = GUID;
using CLSID = GUID;
using REFGUID = const GUID&;
using REFIID = const IID&;
using REFCLSID = const CLSID&;

inline bool IsEqualGUID(REFGUID a, REFGUID b) { return std::memcmp(&a, &b, sizeof(GUID)) == 0; }
inline bool operator==(REFGUID a, REFGUID b) { return IsEqualGUID(a, b); }
#define IsEqualIID(a, b) IsEqualGUID(a, b)
#define IsEqualCLSID(a, b) IsEqualGUID(a, b)

using OLECHAR = wchar_t;
using LPOLESTR = OLECHAR*;
using LPCOLESTR = const OLECHAR*;
// A BSTR points at the text; a 32-bit byte length precedes it and a
// terminating zero follows it.
using BSTR = OLECHAR*;

inline constexpr IID IID_IUnknown = {0x00000000, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
inline constexpr IID IID_IPersist = {0x0000010c, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
inline constexpr IID IID_IPersistFile = {0x0000010b, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

KDP_INTERFACE IUnknown {
  virtual HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) = 0;
  virtual ULONG STDMETHODCALLTYPE AddRef() = 0;
  virtual ULONG STDMETHODCALLTYPE Release() = 0;
};

KDP_INTERFACE IPersist : public IUnknown { virtual HRESULT STDMETHODCALLTYPE GetClassID(CLSID * classId) = 0; };

KDP_INTERFACE IPersistFile : public IPersist {
  virtual HRESULT STDMETHODCALLTYPE IsDirty() = 0;
  virtual HRESULT STDMETHODCALLTYPE Load(LPCOLESTR fileName, DWORD mode) = 0;
  virtual HRESULT STDMETHODCALLTYPE Save(LPCOLESTR fileName, BOOL remember) = 0;
  virtual HRESULT STDMETHODCALLTYPE SaveCompleted(LPCOLESTR fileName) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetCurFile(LPOLESTR * fileName) = 0;
};

KDP_DECLARE_IID(IUnknown, IID_IUnknown);
KDP_DECLARE_IID(IPersist, IID_IPersist);
KDP_DECLARE_IID(IPersistFile, IID_IPersistFile);

extern "C" {
KDPLATFORM_API BSTR WINAPI SysAllocString(const OLECHAR* text);
KDPLATFORM_API BSTR WINAPI SysAllocStringLen(const OLECHAR* text, UINT length);
KDPLATFORM_API void WINAPI SysFreeString(BSTR text);
KDPLATFORM_API UINT WINAPI SysStringLen(BSTR text);
}

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
