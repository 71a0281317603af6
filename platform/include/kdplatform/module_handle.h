// kdp::ModuleHandle: the holder of one load reference of a module (what
// LoadLibraryExA or GetModuleHandleExA without the unchanged-count flag
// gave). The reference is given back with FreeLibrary when the holder is
// destroyed or reset; release() lets go of it without freeing, for a load
// that someone else now owns. Move-only; one thread at a time.
#pragma once

#include "kdplatform/win32.h"

#include <utility>

namespace kdp {

class ModuleHandle {
 public:
  ModuleHandle() noexcept = default;
  // Takes over a load reference the caller owns.
  explicit ModuleHandle(HMODULE module) noexcept : module_(module) {}
  ModuleHandle(ModuleHandle&& other) noexcept : module_(other.release()) {}
  ModuleHandle& operator=(ModuleHandle&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }
  ModuleHandle(const ModuleHandle&) = delete;
  ModuleHandle& operator=(const ModuleHandle&) = delete;
  ~ModuleHandle() { reset(); }

  HMODULE get() const noexcept { return module_; }
  explicit operator bool() const noexcept { return module_ != nullptr; }
  // Frees the held reference, then holds module (nullptr: nothing).
  void reset(HMODULE module = nullptr) noexcept {
    if (module_) FreeLibrary(module_);
    module_ = module;
  }
  HMODULE release() noexcept { return std::exchange(module_, nullptr); }

 private:
  HMODULE module_ = nullptr;
};

}  // namespace kdp
