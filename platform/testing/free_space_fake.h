// What a test armed for free-space queries (kdplatform/testing.h); each
// system's stand-in asks here.
#pragma once

#include "kdplatform/types.h"

#include <cstdint>

namespace kdp::testing::detail {

enum class FreeSpaceHook { kNone, kFake, kFail };

struct FreeSpaceFake {
  FreeSpaceHook hook = FreeSpaceHook::kNone;
  std::uint64_t freeBytes = 0;  // kFake
  DWORD error = 0;              // kFail
};

FreeSpaceFake ArmedFreeSpaceFake() noexcept;
void ArmFreeSpaceFake(const FreeSpaceFake& fake) noexcept;

// SystemSeam::freeSpace (Linux): what a test armed for `folder`.
int AnswerFreeSpace(const char* folder, std::uint64_t* freeBytes, DWORD* error);

}  // namespace kdp::testing::detail
