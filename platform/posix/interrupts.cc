#include "kdplatform/interrupts.h"

#include "kdplatform/file_io.h"

#include <csignal>
#include <iterator>
#include <unistd.h>

namespace kdp {
namespace {

constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};
struct sigaction g_previous[std::size(kSignals)];

extern "C" void EndOnSignal(int signal) {
  RemoveTemporaryFilesInFlight();
  ::_exit(128 + signal);
}

}  // namespace

InterruptCleanup::InterruptCleanup() {
  struct sigaction action {};
  action.sa_handler = EndOnSignal;
  sigfillset(&action.sa_mask);
  for (std::size_t i = 0; i < std::size(kSignals); ++i) ::sigaction(kSignals[i], &action, &g_previous[i]);
}

InterruptCleanup::~InterruptCleanup() {
  for (std::size_t i = 0; i < std::size(kSignals); ++i) ::sigaction(kSignals[i], &g_previous[i], nullptr);
}

}  // namespace kdp
