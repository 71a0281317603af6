// XTOOStatus and XTOOFile: a toolkit error code that operations fill in, and
// that can be thrown.
//
// The raise flag decides how a failure reaches the caller. Made with false,
// a status never throws: an operation that fails records its code here and
// returns its failure value, and the caller looks at Status(). Made with true,
// the operation that records a failure throws a copy of the status at once
// (XTOOFile for an XTOOFile, so `catch (const XTOOFile&)` sees it). Building
// a status never throws, whatever the flag: `throw XTOOStatus(code, true)` or
// Raise() throws one deliberately.
//
// Destructors are virtual and never throw; classes derived from these may
// override the destructor alone.
#pragma once

#include "tools2/export.h"

#include <string>

class TOOLS2_API XTOOStatus {
 public:
  explicit XTOOStatus(int code = 0, bool raise = false) noexcept : m_code(code), m_raise(raise) {}
  XTOOStatus(const XTOOStatus&) = default;
  XTOOStatus& operator=(const XTOOStatus&) = default;
  virtual ~XTOOStatus();

  bool IsError() const noexcept { return m_code != 0; }
  // The toolkit code (tools2/errors.h), 0 when there is no error.
  int Status() const noexcept { return m_code; }
  void Clear() noexcept { m_code = 0; }
  // Short English text for Status().
  std::string ErrorMessage() const;
  bool RaisesOnError() const noexcept { return m_raise; }

  // Throws a copy of this status (of its most derived toolkit class).
  [[noreturn]] virtual void Raise() const;

  // Records `code`; a non-zero code throws at once when the status raises.
  void SetError(int code);

 private:
  int m_code;
  bool m_raise;
};

class TOOLS2_API XTOOFile : public XTOOStatus {
 public:
  explicit XTOOFile(bool raise = false) noexcept : XTOOStatus(0, raise) {}
  XTOOFile(const XTOOFile&) = default;
  XTOOFile& operator=(const XTOOFile&) = default;
  ~XTOOFile() override;

  [[noreturn]] void Raise() const override;
};
