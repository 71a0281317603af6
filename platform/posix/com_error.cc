// _com_error's text and _com_issue_error.
#include "kdplatform/win32.h"

#include <cstdio>

namespace {

struct NamedCode {
  std::uint32_t code;
  const char* name;
};

#define KDP_NAMED(code) \
  { static_cast<std::uint32_t>(code), #code }

constexpr NamedCode kResults[] = {
    KDP_NAMED(S_OK),
    KDP_NAMED(S_FALSE),
    KDP_NAMED(E_NOTIMPL),
    KDP_NAMED(E_NOINTERFACE),
    KDP_NAMED(E_POINTER),
    KDP_NAMED(E_ABORT),
    KDP_NAMED(E_FAIL),
    KDP_NAMED(E_UNEXPECTED),
    KDP_NAMED(E_ACCESSDENIED),
    KDP_NAMED(E_HANDLE),
    KDP_NAMED(E_OUTOFMEMORY),
    KDP_NAMED(E_INVALIDARG),
    KDP_NAMED(CLASS_E_CLASSNOTAVAILABLE),
    KDP_NAMED(CLASS_E_NOAGGREGATION),
    KDP_NAMED(CONNECT_E_NOCONNECTION),
    KDP_NAMED(STG_E_FILENOTFOUND),
    KDP_NAMED(STG_E_ACCESSDENIED),
    KDP_NAMED(CRYPT_E_FILE_ERROR),
};

constexpr NamedCode kWin32Errors[] = {
    KDP_NAMED(ERROR_INVALID_FUNCTION),
    KDP_NAMED(ERROR_FILE_NOT_FOUND),
    KDP_NAMED(ERROR_PATH_NOT_FOUND),
    KDP_NAMED(ERROR_ACCESS_DENIED),
    KDP_NAMED(ERROR_INVALID_HANDLE),
    KDP_NAMED(ERROR_NOT_ENOUGH_MEMORY),
    KDP_NAMED(ERROR_BAD_FORMAT),
    KDP_NAMED(ERROR_INVALID_DATA),
    KDP_NAMED(ERROR_OUTOFMEMORY),
    KDP_NAMED(ERROR_NOT_READY),
    KDP_NAMED(ERROR_WRITE_FAULT),
    KDP_NAMED(ERROR_READ_FAULT),
    KDP_NAMED(ERROR_HANDLE_EOF),
    KDP_NAMED(ERROR_NOT_SUPPORTED),
    KDP_NAMED(ERROR_FILE_EXISTS),
    KDP_NAMED(ERROR_INVALID_PARAMETER),
    KDP_NAMED(ERROR_DISK_FULL),
    KDP_NAMED(ERROR_INSUFFICIENT_BUFFER),
    KDP_NAMED(ERROR_INVALID_NAME),
    KDP_NAMED(ERROR_MOD_NOT_FOUND),
    KDP_NAMED(ERROR_PROC_NOT_FOUND),
    KDP_NAMED(ERROR_DIR_NOT_EMPTY),
    KDP_NAMED(ERROR_BAD_PATHNAME),
    KDP_NAMED(ERROR_ALREADY_EXISTS),
    KDP_NAMED(ERROR_BAD_EXE_FORMAT),
    KDP_NAMED(ERROR_FILENAME_EXCED_RANGE),
    KDP_NAMED(ERROR_MORE_DATA),
    KDP_NAMED(ERROR_NO_MORE_ITEMS),
    KDP_NAMED(ERROR_INVALID_FLAGS),
    KDP_NAMED(ERROR_ALREADY_INITIALIZED),
    KDP_NAMED(ERROR_NO_UNICODE_TRANSLATION),
    KDP_NAMED(ERROR_DLL_INIT_FAILED),
};

#undef KDP_NAMED

template <std::size_t N>
const char* Find(const NamedCode (&table)[N], std::uint32_t code) {
  for (const NamedCode& entry : table) {
    if (entry.code == code) return entry.name;
  }
  return nullptr;
}

}  // namespace

const char* _com_error::ErrorMessage() const noexcept {
  const auto code = static_cast<std::uint32_t>(hr_);
  if (const char* name = Find(kResults, code)) return name;
  if ((code & 0xFFFF0000u) == 0x80070000u) {
    if (const char* name = Find(kWin32Errors, code & 0xFFFFu)) {
      std::snprintf(message_, sizeof message_, "HRESULT_FROM_WIN32(%s)", name);
      return message_;
    }
  }
  std::snprintf(message_, sizeof message_, "Unknown error 0x%08X", static_cast<unsigned>(code));
  return message_;
}

void _com_issue_error(HRESULT hr) { throw _com_error(hr); }
