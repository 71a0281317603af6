// A file status for the library's own static file calls: it never throws,
// neither when an operation fails nor when it goes out of scope.
#pragma once

#include "tools2/status.h"

namespace localstatus {

class XTOOFileNoThrow : public XTOOFile {
 public:
  XTOOFileNoThrow() noexcept : XTOOFile(false) {}
  ~XTOOFileNoThrow() override = default;
};

}  // namespace localstatus
