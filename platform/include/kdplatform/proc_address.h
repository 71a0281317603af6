// kdp::ProcAs<F>: an export looked up with GetProcAddress, as the function
// type the caller knows it has. FARPROC is a different function type on each
// system; the cast goes through void (*)(), which converts to any function
// type without a cast-function-type warning.
#pragma once

namespace kdp {

template <class Function, class Proc>
Function ProcAs(Proc proc) noexcept {
  return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(proc));
}

}  // namespace kdp
