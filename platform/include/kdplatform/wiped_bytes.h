// kdp::WipedBytes: the project's one buffer for bytes that may be secret
// (PINs, key bytes, enciphered values). Every block it frees is cleared with
// SecureZeroMemory first, also the old block when it grows, so no copy of the
// bytes is left in freed memory. Move-only; one thread at a time.
#pragma once

#include "kdplatform/export.h"

#include <cstdint>

namespace kdp {

class KDPLATFORM_API WipedBytes {
 public:
  WipedBytes() noexcept = default;
  // `size` zero bytes. Throws std::bad_alloc.
  explicit WipedBytes(std::size_t size);
  // A copy of `size` bytes at `data`. Throws std::bad_alloc.
  WipedBytes(const void* data, std::size_t size);
  // `size` bytes that the caller overwrites before it reads them: not
  // zero-filled first. Throws std::bad_alloc.
  static WipedBytes ForOverwrite(std::size_t size);
  WipedBytes(WipedBytes&& other) noexcept;
  WipedBytes& operator=(WipedBytes&& other) noexcept;
  WipedBytes(const WipedBytes&) = delete;
  WipedBytes& operator=(const WipedBytes&) = delete;
  ~WipedBytes() { Clear(); }

  std::uint8_t* data() noexcept { return data_; }
  const std::uint8_t* data() const noexcept { return data_; }
  const char* chars() const noexcept { return reinterpret_cast<const char*>(data_); }
  std::size_t size() const noexcept { return size_; }
  bool empty() const noexcept { return size_ == 0; }

  // Adds bytes at the end. Throws std::bad_alloc (the buffer is unchanged).
  void Append(const void* data, std::size_t size);
  // Drops the bytes from `size` on (wiping them); a larger size does nothing.
  void Truncate(std::size_t size) noexcept;
  // Wipes and frees everything.
  void Clear() noexcept;
  // Gives the block up unwiped, leaving this buffer empty: the caller owns
  // it from now on (*capacity bytes, from new[]) and must wipe it before it
  // frees it with delete[]. For handing bytes to IdentObj without a copy.
  std::uint8_t* Release(std::size_t* capacity) noexcept;

 private:
  std::uint8_t* data_ = nullptr;
  std::size_t size_ = 0;
  std::size_t capacity_ = 0;
};

}  // namespace kdp
