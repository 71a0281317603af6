#include "storage/record_buffer.h"
#include "kdplatform/return_if_failed.h"

#include <cstring>
#include <new>
#include <utility>

namespace keydepot {

HRESULT RecordBuffer::Regrow(DWORD capacity) {
  try {
    // Every read fills what it reports; nothing else of the block is read.
    block_ = kdp::WipedBytes::ForOverwrite(static_cast<std::size_t>(capacity) + 4);
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
  capacity_ = capacity;
  return S_OK;
}

HRESULT RecordBuffer::Fill(const BYTE* bytes, DWORD size) {
  KD_RETURN_IF_FAILED(Regrow(size));
  for (int i = 0; i < 4; ++i) block_.data()[i] = static_cast<BYTE>(size >> (8 * i));
  if (size) std::memcpy(block_.data() + 4, bytes, size);
  return S_OK;
}

DWORD RecordBuffer::StoredLength() const noexcept {
  DWORD length = 0;
  for (int i = 3; i >= 0; --i) length = (length << 8) | block_.data()[i];
  return length;
}

IdentObj RecordBuffer::TakeBytes(DWORD offset, DWORD size) noexcept {
  capacity_ = 0;
  return IdentObj(std::move(block_), offset, size);
}

}  // namespace keydepot
