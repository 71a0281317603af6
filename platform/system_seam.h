// The seam the layer's file steps and free-space queries pass through, the
// way a storage engine takes its environment. A shipped program supplies no
// stand-in, and every step runs its system call directly; a test program
// links platform/testing, whose stand-in can count the steps, fail one as a
// failing disk would, or answer free-space queries. Nothing of the tests is
// in the layer itself.
#pragma once

#include "kdplatform/types.h"

#include <cstdint>
#include <type_traits>

namespace kdp::detail {

// open and create (temporary files too), each system read, each system
// write, a file's or a folder's sync, and the rename that ends a save.
enum class FileStep { kOpen, kRead, kWrite, kSync, kRename };

// A program's stand-in for the system. Any member may be null.
struct SystemSeam {
  // Runs one step: calls run(context), the step's system call, and returns
  // its result (0 or a Win32 code), or fails the step with a Win32 code
  // without calling it.
  DWORD (*runFileStep)(FileStep step, DWORD (*run)(void* context), void* context);
  // Answers a free-space query about `folder` (a native path): 1 with
  // *freeBytes (free and total alike), -1 failing with *error, 0 to leave
  // it to the system. Linux only: Windows tests redirect the system call.
  int (*freeSpace)(const char* folder, std::uint64_t* freeBytes, DWORD* error);
};

// The program's stand-in, or null; one for every module of the process
// (each system's system_seam.cc finds it in the program).
const SystemSeam* ProgramSeam() noexcept;

// Runs `call` (DWORD(), the step's system call) as step `step`.
template <class Call>
DWORD RunFileStep(FileStep step, Call&& call) {
  const SystemSeam* seam = ProgramSeam();
  if (seam == nullptr || seam->runFileStep == nullptr) return call();
  using Target = std::remove_reference_t<Call>;
  return seam->runFileStep(
      step, [](void* context) -> DWORD { return (*static_cast<Target*>(context))(); },
      const_cast<void*>(static_cast<const void*>(&call)));
}

}  // namespace kdp::detail

// What a test program defines (platform/testing) to supply its stand-in.
extern "C" const kdp::detail::SystemSeam* KdpSystemSeam();
