// _bstr_t: one owned BSTR per object.
#include "kdplatform/win32.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <utility>

_bstr_t::_bstr_t(const char* text) {
  if (!text) return;
  // ASCII, nearly all text here, is one wide character per byte: no code
  // page conversion, no size query.
  const std::size_t length = std::strlen(text);
  if (length <= UINT_MAX / 4 && std::all_of(text, text + length, [](char c) { return (c & 0x80) == 0; })) {
    BSTR converted = SysAllocStringLen(nullptr, static_cast<UINT>(length));
    if (!converted) _com_issue_error(E_OUTOFMEMORY);
    std::copy(text, text + length, converted);
    text_ = converted;
    return;
  }
  const int needed = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
  if (needed <= 0) _com_issue_error(HRESULT_FROM_WIN32(GetLastError()));
  BSTR converted = SysAllocStringLen(nullptr, static_cast<UINT>(needed - 1));
  if (!converted) _com_issue_error(E_OUTOFMEMORY);
  if (MultiByteToWideChar(CP_ACP, 0, text, -1, converted, needed) != needed) {
    const DWORD error = GetLastError();
    SysFreeString(converted);
    _com_issue_error(HRESULT_FROM_WIN32(error));
  }
  text_ = converted;
}

_bstr_t::_bstr_t(const wchar_t* text) {
  if (!text) return;
  text_ = SysAllocString(text);
  if (!text_) _com_issue_error(E_OUTOFMEMORY);
}

_bstr_t::_bstr_t(const _bstr_t& other) {
  if (!other.text_) return;
  text_ = SysAllocStringLen(other.text_, SysStringLen(other.text_));
  if (!text_) _com_issue_error(E_OUTOFMEMORY);
}

_bstr_t& _bstr_t::operator=(const _bstr_t& other) {
  if (this != &other) {
    _bstr_t copy(other);
    std::swap(text_, copy.text_);
  }
  return *this;
}

_bstr_t::~_bstr_t() { SysFreeString(text_); }
