#include "tools2/ident_obj.h"

#include <kdplatform/secure_zero.h>

#include <cstring>
#include <utility>

IdentObj::IdentObj(const void* data, DWORD size) {
  Alloc(size);
  if (data != nullptr && size != 0) {
    std::memcpy(pbData, data, size);
  }
}

IdentObj::IdentObj(kdp::WipedBytes&& block, DWORD offset, DWORD size) noexcept {
  std::size_t capacity = 0;
  BYTE* taken = block.Release(&capacity);
  if (taken == nullptr || capacity > 0xFFFFFFFFu || offset > capacity || size > capacity - offset) {
    SecureZeroMemory(taken, capacity);
    delete[] taken;
    return;
  }
  Adopt(taken, static_cast<DWORD>(capacity));
  pbData = taken + offset;
  cbData = size;
}

IdentObj::IdentObj(const IdentObj& other) : IdentObj(other.pbData, other.cbData) {}

IdentObj::IdentObj(IdentObj&& other) noexcept { *this = std::move(other); }

IdentObj::~IdentObj() { Clear(); }

IdentObj& IdentObj::operator=(const IdentObj& other) {
  if (this != &other) {
    IdentObj copy(other);  // built first: a failed allocation leaves *this as it was
    *this = std::move(copy);
  }
  return *this;
}

IdentObj& IdentObj::operator=(IdentObj&& other) noexcept {
  if (this != &other) {
    Clear();
    cbData = std::exchange(other.cbData, 0u);
    pbData = std::exchange(other.pbData, nullptr);
    m_owned = std::exchange(other.m_owned, nullptr);
    m_ownedSize = std::exchange(other.m_ownedSize, 0u);
  }
  return *this;
}

void IdentObj::Alloc(DWORD size) {
  BYTE* fresh = size != 0 ? new BYTE[size]() : nullptr;
  Clear();
  Adopt(fresh, size);
}

void IdentObj::Resize(DWORD size) {
  if (m_owned != nullptr && size <= m_ownedSize && size != 0) {
    pbData = m_owned;
    cbData = size;
    return;
  }
  BYTE* fresh = size != 0 ? new BYTE[size] : nullptr;
  Clear();
  Adopt(fresh, size);
}

void IdentObj::Adopt(BYTE* buffer, DWORD size) noexcept {
  m_owned = pbData = buffer;
  m_ownedSize = cbData = size;
}

void IdentObj::Clear() noexcept {
  if (m_owned != nullptr) {
    SecureZeroMemory(m_owned, m_ownedSize);
    delete[] m_owned;
  }
  Adopt(nullptr, 0);
}

bool IdentObj::operator==(const IdentObj& other) const noexcept {
  return cbData == other.cbData && (cbData == 0 || std::memcmp(pbData, other.pbData, cbData) == 0);
}
