// IdentObj: an owned byte buffer whose count and data pointer callers read
// and fill directly (cbData, pbData). Empty is 0 and null. The bytes may be
// key material, so every buffer is overwritten with zeros before it is freed
// or replaced. The object frees and wipes the buffer it allocated, whatever
// the public fields were changed to since (shrinking cbData does not leave
// the tail unwiped; pointing pbData elsewhere does not free a foreign buffer).
#pragma once

#include "kdplatform/api_types.h"
#include "tools2/export.h"

#include <kdplatform/wiped_bytes.h>

class TOOLS2_API IdentObj {
 public:
  IdentObj() noexcept = default;
  // Copies `size` bytes from `data`; a null `data` with a size gives a
  // zero-filled buffer of that size for the caller to fill.
  IdentObj(const void* data, DWORD size);
  // Takes over `block` without copying it and shows the `size` bytes from
  // `offset` on; the whole block is wiped when it is freed. A range beyond
  // the block gives an empty object (and the block is wiped and freed).
  IdentObj(kdp::WipedBytes&& block, DWORD offset, DWORD size) noexcept;
  IdentObj(const IdentObj& other);
  IdentObj(IdentObj&& other) noexcept;
  ~IdentObj();

  IdentObj& operator=(const IdentObj& other);
  IdentObj& operator=(IdentObj&& other) noexcept;

  // Replaces the contents with `size` zero bytes (size 0 = empty).
  void Alloc(DWORD size);
  // Makes the object `size` bytes long for the caller to overwrite: in its
  // own block when that is large enough (the bytes are then the ones it
  // held, from the block's start), else in a new block that is not
  // zero-filled. The caller overwrites or clears all `size` bytes. Throws
  // std::bad_alloc and then leaves the object as it was.
  void Resize(DWORD size);
  // Wipes and frees the buffer.
  void Clear() noexcept;
  DWORD GetObjectSize() const noexcept { return cbData; }

  // Same byte count and same bytes.
  bool operator==(const IdentObj& other) const noexcept;

  DWORD cbData = 0;
  BYTE* pbData = nullptr;

 private:
  void Adopt(BYTE* buffer, DWORD size) noexcept;

  BYTE* m_owned = nullptr;
  DWORD m_ownedSize = 0;
};
