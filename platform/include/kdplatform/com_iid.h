// The project's own COM helpers, the same on every system: KDP_INTERFACE
// declares an interface struct, and IidOf<I>::value is the interface id of I
// (the counterpart of __uuidof), declared next to the interface with
// KDP_DECLARE_IID.
#pragma once

#include "kdplatform/export.h"

// Interface structs' type information is shared by all modules (exceptions
// and sanitizers compare it across module boundaries).
#define KDP_INTERFACE struct KDPLATFORM_VISIBLE

template <class I>
struct IidOf;
#define KDP_DECLARE_IID(Interface, iid)      \
  template <>                                \
  struct IidOf<Interface> {                  \
    static constexpr const IID& value = iid; \
  }
