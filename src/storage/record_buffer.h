// RecordBuffer: a byte block for device records (a 4-byte little-endian
// length L followed by L bytes). The block holds capacity + 4 bytes; it may
// hold item bytes, so it is wiped before it is freed.
#pragma once

#include "kdplatform/wiped_bytes.h"
#include "kdplatform/win32.h"
#include "tools2/ident_obj.h"

#include <cstddef>

namespace keydepot {

class RecordBuffer {
 public:
  // Capacity 0 and no block until Regrow or Fill gives it one.
  RecordBuffer() = default;

  // Replaces the block with a new one of capacity + 4 bytes (contents not
  // kept). E_OUTOFMEMORY, with the buffer unchanged, when the block cannot be
  // allocated.
  HRESULT Regrow(DWORD capacity);
  // Writes the record of size bytes: the length, then the bytes; capacity
  // becomes size. E_OUTOFMEMORY as Regrow.
  HRESULT Fill(const BYTE* bytes, DWORD size);

  DWORD Capacity() const noexcept { return capacity_; }
  BYTE* Block() noexcept { return block_.data(); }
  const BYTE* Block() const noexcept { return block_.data(); }
  // The length stored in the first 4 bytes.
  DWORD StoredLength() const noexcept;
  // The `size` bytes from `offset` on, as an IdentObj that takes the block
  // over without a copy; the buffer is left with capacity 0.
  IdentObj TakeBytes(DWORD offset, DWORD size) noexcept;

 private:
  DWORD capacity_ = 0;
  kdp::WipedBytes block_;
};

}  // namespace keydepot
