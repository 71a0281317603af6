// Uses the installed keydepot package through its one umbrella header.
#include <keydepot/keydepot.h>

#include <cstdio>

int main() {
  // The thread's last error is shared with the library's open functions.
  SetLastError(0);
  if (GetLastError() != 0) return 1;
  if (!IsEqualIID(IID_IAD_DeviceMgr, IID_IAD_DeviceMgr)) return 1;
  std::puts("consumer: keydepot package found and linked");
  return 0;
}
