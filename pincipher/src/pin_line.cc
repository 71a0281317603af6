#include "pincipher/pin_line.h"

namespace pincipher {

bool ReadPinLine(kdp::NativeFile file, std::size_t maxBytes, kdp::WipedBytes* pin) {
  pin->Clear();
  // One byte over the limit may be read: the '\r' of a Windows line end,
  // which is dropped below. Anything longer is refused before it is read.
  for (;;) {
    char c = 0;
    std::size_t got = 0;
    const bool failed = kdp::ReadSome(file, &c, 1, &got) != 0;
    if (!failed && (got == 0 || c == '\n')) break;
    if (failed || c == '\0' || pin->size() > maxBytes) {
      pin->Clear();
      return false;
    }
    pin->Append(&c, 1);
  }
  if (!pin->empty() && pin->chars()[pin->size() - 1] == '\r') pin->Truncate(pin->size() - 1);
  if (pin->size() > maxBytes) pin->Clear();
  return !pin->empty();
}

}  // namespace pincipher
