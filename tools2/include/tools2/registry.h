// The registry: named values (32-bit numbers and raw bytes) under keys of the
// machine-wide store. On Windows it is the system registry under
// HKEY_LOCAL_MACHINE; on Linux a store of files (docs/toolkit.md, "Registry").
//
// Failures to open a key raise XTOORegError; value operations report through
// their result and the thread's last error (GetLastError), as the Win32
// registry calls do: they set it on failure only (GetBufferLength also sets 0
// on success, so that a value of size 0 can be told from a missing one).
// Key paths and value names compare ignoring ASCII case. A value name is 1 to
// 255 bytes without '\' or '/' and is not "." or ".."; another name fails with
// ERROR_INVALID_NAME.
#pragma once

#include "kdplatform/api_types.h"
#include "tools2/export.h"

#include <string>

// Access modes of CTooReg.
inline constexpr int TOOREG_READ = 0;
inline constexpr int TOOREG_WRITE = 1;   // read and write an existing key
inline constexpr int TOOREG_CREATE = 2;  // read and write, creating the key when missing

// A registry failure: the key (and value) concerned and a Win32 error code.
class TOOLS2_API XTOORegError {
 public:
  XTOORegError(const std::string& key, const std::string& value, int code);
  int Code() const noexcept { return m_code; }
  const std::string& Key() const noexcept { return m_key; }
  const std::string& Value() const noexcept { return m_value; }
  // A short English text naming the key, the value and the error.
  std::string ErrorMessage() const;

 private:
  std::string m_key;
  std::string m_value;
  int m_code;
};

// One open key. Not shared between threads; each object sees the values as
// they are when it reads them.
class TOOLS2_API CTooReg {
 public:
  // keyPath uses '\' between its parts ("SOFTWARE\Maltrove\..."). A missing
  // key raises XTOORegError(ERROR_FILE_NOT_FOUND) unless access is
  // TOOREG_CREATE; a key that cannot be read or written raises it with the
  // reason (e.g. ERROR_ACCESS_DENIED). The empty path is the store's root; a
  // path with an empty part (a leading, trailing or doubled '\') raises
  // ERROR_INVALID_NAME, a null path or an unknown access ERROR_INVALID_PARAMETER.
  CTooReg(const char* keyPath, int access);
  virtual ~CTooReg();
  CTooReg(const CTooReg&) = delete;
  CTooReg& operator=(const CTooReg&) = delete;

  // The size in bytes of a value; 0 (and ERROR_FILE_NOT_FOUND) when missing.
  DWORD GetBufferLength(const char* name);
  // Copies a value of any type into buffer (size bytes). FALSE with
  // ERROR_FILE_NOT_FOUND when missing, ERROR_MORE_DATA when it does not fit.
  BOOL GetMemory(const char* name, void* buffer, DWORD size);
  // Copies a value of the given type; FALSE with ERROR_FILE_NOT_FOUND when
  // missing, ERROR_INVALID_DATA for another type, ERROR_MORE_DATA when it
  // does not fit.
  BOOL GetValueEx(const char* name, DWORD type, void* buffer, DWORD size);
  // Sets a REG_DWORD value; FALSE with ERROR_ACCESS_DENIED without write access.
  BOOL SetValue(const char* name, DWORD value);
  // Sets a REG_BINARY value.
  BOOL SetValue(const char* name, const void* data, DWORD size);
  // Deletes a value; FALSE with ERROR_FILE_NOT_FOUND when missing.
  BOOL DelValue(const char* name);
  // Sets a REG_BINARY value only when the key holds none of that name; FALSE
  // with ERROR_ALREADY_EXISTS otherwise. The check and the write are one step
  // for every process, so of two callers adding at once exactly one succeeds.
  BOOL AddValue(const char* name, const void* data, DWORD size);

 protected:
  struct Impl;
  Impl* m_impl;
};

// Where the machine-wide store lives, for messages that tell an
// administrator where to look: on Linux its folder ($KEYDEPOT_REGISTRY, else
// /var/lib/keydepot/registry, read anew on every call, as every open does);
// on Windows "HKEY_LOCAL_MACHINE".
TOOLS2_API std::string TooRegStoreFolder();

// A key under HKEY_LOCAL_MACHINE (the machine-wide store).
class TOOLS2_API CTooRegHLM : public CTooReg {
 public:
  CTooRegHLM(const char* keyPath, int access) : CTooReg(keyPath, access) {}
};
