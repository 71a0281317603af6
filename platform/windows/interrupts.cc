#include "kdplatform/interrupts.h"

#include "kdplatform/file_io.h"
#include "kdplatform/win32.h"

namespace kdp {
namespace {

// Runs on a thread of its own that the system starts for the event.
BOOL WINAPI EndOnEvent(DWORD event) {
  RemoveTemporaryFilesInFlight();
  ExitProcess(event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT ? 130 : 129);
}

}  // namespace

InterruptCleanup::InterruptCleanup() { SetConsoleCtrlHandler(EndOnEvent, TRUE); }

InterruptCleanup::~InterruptCleanup() { SetConsoleCtrlHandler(EndOnEvent, FALSE); }

}  // namespace kdp
