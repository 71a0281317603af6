// IdentObj: an owned byte buffer whose count and data pointer callers read
// and fill directly (cbData, pbData). Empty is 0 and null. The bytes may be
// key material, so every buffer is overwritten with zeros before it is freed
// or replaced. The object frees and wipes the buffer it allocated, whatever
// the public fields were changed to since (shrinking cbData does not leave
// the tail unwiped; pointing pbData elsewhere does not free a foreign buffer).
#pragma once

#include "tools2/export.h"

#include <kdplatform/types.h>

class TOOLS2_API IdentObj {
 public:
  IdentObj() noexcept = default;
  // Copies `size` bytes from `data`; a null `data` with a size gives a
  // zero-filled buffer of that size for the caller to fill.
  IdentObj(const void* data, DWORD size);
  IdentObj(const IdentObj& other);
  IdentObj(IdentObj&& other) noexcept;
  ~IdentObj();

  IdentObj& operator=(const IdentObj& other);
  IdentObj& operator=(IdentObj&& other) noexcept;

  // Replaces the contents with `size` zero bytes (size 0 = empty).
  void Alloc(DWORD size);
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
