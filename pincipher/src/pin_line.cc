#include "pincipher/pin_line.h"

namespace pincipher {

bool ReadPinLine(kdp::NativeFile file, std::size_t maxBytes, kdp::WipedBytes* pin) {
  pin->Clear();
  for (;;) {
    char c = 0;
    std::size_t got = 0;
    if (kdp::ReadSome(file, &c, 1, &got) != 0 || (got == 1 && (c == '\0' || pin->size() == maxBytes))) {
      pin->Clear();
      return false;
    }
    if (got == 0 || c == '\n') break;
    pin->Append(&c, 1);
  }
  if (!pin->empty() && pin->chars()[pin->size() - 1] == '\r') pin->Truncate(pin->size() - 1);
  return !pin->empty();
}

}  // namespace pincipher
