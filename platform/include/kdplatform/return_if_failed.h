// The project's one way to pass a failing HRESULT up: a step returns its
// result, and its caller returns at once when that result is a failure.
// Values travel through out-parameters. Only the exported contracts that say
// so throw `long`; nothing inside the library throws to itself.
#pragma once

#include "kdplatform/win32.h"

// Returns the result of expr from the enclosing function when it is a failure.
#define KD_RETURN_IF_FAILED(expr)              \
  do {                                         \
    const HRESULT kd_result_ = (expr);         \
    if (FAILED(kd_result_)) return kd_result_; \
  } while (false)
