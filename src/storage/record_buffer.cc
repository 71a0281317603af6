#include "storage/record_buffer.h"

#include <cstring>
#include <new>

namespace keydepot {
namespace {

BYTE* Allocate(DWORD capacity) {
  const std::size_t bytes = static_cast<std::size_t>(capacity) + 4;
  BYTE* block = new (std::nothrow) BYTE[bytes];
  if (!block) throw static_cast<long>(E_OUTOFMEMORY);
  std::memset(block, 0, bytes);
  return block;
}

}  // namespace

RecordBuffer::RecordBuffer(DWORD capacity) : capacity_(capacity), block_(Allocate(capacity)) {}

RecordBuffer::~RecordBuffer() { Release(); }

void RecordBuffer::Release() noexcept {
  if (block_) {
    SecureZeroMemory(block_, static_cast<std::size_t>(capacity_) + 4);
    delete[] block_;
  }
  block_ = nullptr;
}

void RecordBuffer::Regrow(DWORD capacity) {
  BYTE* block = Allocate(capacity);
  Release();
  block_ = block;
  capacity_ = capacity;
}

void RecordBuffer::Fill(const BYTE* bytes, DWORD size) {
  Regrow(size);
  for (int i = 0; i < 4; ++i) block_[i] = static_cast<BYTE>(size >> (8 * i));
  if (size) std::memcpy(block_ + 4, bytes, size);
}

DWORD RecordBuffer::StoredLength() const noexcept {
  DWORD length = 0;
  for (int i = 3; i >= 0; --i) length = (length << 8) | block_[i];
  return length;
}

}  // namespace keydepot
