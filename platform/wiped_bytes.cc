#include "kdplatform/wiped_bytes.h"

#include "kdplatform/secure_zero.h"

#include <cstring>
#include <new>
#include <utility>

namespace kdp {

WipedBytes::WipedBytes(std::size_t size) {
  if (size == 0) return;
  data_ = new std::uint8_t[size]();
  size_ = capacity_ = size;
}

WipedBytes::WipedBytes(const void* data, std::size_t size) {
  if (size == 0) return;
  *this = ForOverwrite(size);
  std::memcpy(data_, data, size);
}

WipedBytes WipedBytes::ForOverwrite(std::size_t size) {
  WipedBytes bytes;
  if (size == 0) return bytes;
  bytes.data_ = new std::uint8_t[size];
  bytes.size_ = bytes.capacity_ = size;
  return bytes;
}

WipedBytes::WipedBytes(WipedBytes&& other) noexcept
    : data_(std::exchange(other.data_, nullptr)),
      size_(std::exchange(other.size_, 0)),
      capacity_(std::exchange(other.capacity_, 0)) {}

WipedBytes& WipedBytes::operator=(WipedBytes&& other) noexcept {
  if (this != &other) {
    Clear();
    data_ = std::exchange(other.data_, nullptr);
    size_ = std::exchange(other.size_, 0);
    capacity_ = std::exchange(other.capacity_, 0);
  }
  return *this;
}

void WipedBytes::Append(const void* data, std::size_t size) {
  if (size == 0) return;
  if (size > capacity_ - size_) {
    if (size > static_cast<std::size_t>(-1) / 2 - size_) throw std::bad_alloc();
    const std::size_t capacity = (size_ + size) * 2;
    auto* bigger = new std::uint8_t[capacity]();
    if (size_ != 0) std::memcpy(bigger, data_, size_);
    const std::size_t keep = size_;
    Clear();
    data_ = bigger;
    size_ = keep;
    capacity_ = capacity;
  }
  std::memcpy(data_ + size_, data, size);
  size_ += size;
}

void WipedBytes::Truncate(std::size_t size) noexcept {
  if (size >= size_) return;
  SecureZeroMemory(data_ + size, size_ - size);
  size_ = size;
}

void WipedBytes::Clear() noexcept {
  if (data_ != nullptr) {
    SecureZeroMemory(data_, capacity_);
    delete[] data_;
  }
  data_ = nullptr;
  size_ = capacity_ = 0;
}

std::uint8_t* WipedBytes::Release(std::size_t* capacity) noexcept {
  *capacity = std::exchange(capacity_, 0);
  size_ = 0;
  return std::exchange(data_, nullptr);
}

}  // namespace kdp
