// The library's one way to end a unit of work early on a failing HRESULT:
// the failure travels as `long` to the catch at the end of that unit, which
// turns it into the unit's result (or, for the exported contracts that throw,
// lets it leave). Code that can return its HRESULT does so instead.
#pragma once

#include "kdplatform/win32.h"

namespace keydepot::detail {

// Throws hr as `long` when it is a failure.
inline void ThrowIfFailed(HRESULT hr) {
  if (FAILED(hr)) throw static_cast<long>(hr);
}

}  // namespace keydepot::detail
