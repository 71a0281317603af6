#include "ad/handle_table.h"

#include <atomic>

namespace keydepot::detail {

DWORD NextHandleValue() {
  // One sequence for sessions and filters, so a filter handle passed where a
  // session handle belongs finds nothing. Starts away from small numbers that
  // callers might pass by mistake.
  static std::atomic<DWORD> next{0x00010001u};
  DWORD value;
  do {
    value = next.fetch_add(1);
  } while (value == 0);
  return value;
}

}  // namespace keydepot::detail
