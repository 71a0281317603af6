// COM basics the public API's interfaces need on Linux: GUIDs, IUnknown and
// IPersistFile. Interfaces are plain abstract structs: slot 0 is
// QueryInterface, 1 AddRef, 2 Release, then the interface's own operations in
// declaration order, which is the order of the virtual table with GCC as
// with MSVC.
#pragma once

#include "kdplatform/api_types.h"
#include "kdplatform/com_iid.h"

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

static_assert(sizeof(GUID) == 16, "a GUID has no padding");

// Compared as sixteen bytes, which the compiler does in two words: every
// QueryInterface compares a few. (The builtin: <cstring> would bring its
// macros to every includer of the public headers.)
inline bool IsEqualGUID(REFGUID a, REFGUID b) { return __builtin_memcmp(&a, &b, sizeof(GUID)) == 0; }
inline bool operator==(REFGUID a, REFGUID b) { return IsEqualGUID(a, b); }

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
