#include "tools2/status.h"

#include "tools2/errors.h"

XTOOStatus::~XTOOStatus() = default;

std::string XTOOStatus::ErrorMessage() const { return ToolsErrMessage(m_code); }

void XTOOStatus::Raise() const { throw XTOOStatus(*this); }

void XTOOStatus::SetError(int code) {
  m_code = code;
  if (code != 0 && m_raise) {
    Raise();
  }
}

XTOOFile::~XTOOFile() = default;

void XTOOFile::Raise() const { throw XTOOFile(*this); }
