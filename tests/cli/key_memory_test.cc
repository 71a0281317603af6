// Describing a private key leaves no copy of its private part in freed
// memory. Every block OpenSSL and the C++ run-time free while a key is
// described is searched for 16 bytes of the key's private exponent, scalar
// or seed: a decoder that copied the key into memory it then freed unwiped
// is caught, as a control case shows. main() installs OpenSSL's memory
// functions before anything else can call OpenSSL.
#include "item_summary.h"
#include "sample_keys.h"

#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/x509.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <vector>

namespace {

using kdcli::samples::kPrivateKeys;

constexpr std::size_t kSecretBytes = 16;

// Each sample's secret as bytes, decoded before anything is watched.
std::array<std::array<std::uint8_t, kSecretBytes>, kPrivateKeys.size()> g_secrets{};
std::atomic<bool> g_watching{false};
std::atomic<int> g_blocksHoldingASecret{0};
bool g_openSslHooked = false;

// A block's size sits in front of it, so that the block can be searched
// when it is freed; 16 bytes keep the alignment malloc gives.
struct alignas(16) Header {
  std::size_t size;
};

void Search(const void* block, std::size_t size) {
  if (!g_watching.load() || size < kSecretBytes) return;
  for (const auto& secret : g_secrets) {
    if (memmem(block, size, secret.data(), secret.size()) != nullptr) {
      ++g_blocksHoldingASecret;
      return;
    }
  }
}

void* Allocate(std::size_t size) {
  auto* header = static_cast<Header*>(std::malloc(sizeof(Header) + size));
  if (header == nullptr) return nullptr;
  header->size = size;
  return header + 1;
}

void Release(void* block) {
  if (block == nullptr) return;
  Header* header = static_cast<Header*>(block) - 1;
  Search(block, header->size);
  std::free(header);
}

void* Reallocate(void* block, std::size_t size) {
  if (block == nullptr) return Allocate(size);
  void* moved = Allocate(size);
  if (moved == nullptr) return nullptr;
  std::memcpy(moved, block, std::min(size, (static_cast<Header*>(block) - 1)->size));
  Release(block);
  return moved;
}

void* OpenSslMalloc(std::size_t size, const char*, int) { return Allocate(size); }
void* OpenSslRealloc(void* block, std::size_t size, const char*, int) { return Reallocate(block, size); }
void OpenSslFree(void* block, const char*, int) { Release(block); }

// The blocks freed while `describe` runs that held a secret.
template <class Describe>
int BlocksLeftHoldingASecret(Describe describe) {
  g_blocksHoldingASecret = 0;
  g_watching = true;
  describe();
  g_watching = false;
  return g_blocksHoldingASecret.load();
}

std::vector<std::uint8_t> DerOf(std::string_view pem) {
  std::string base64;
  const std::size_t start = pem.find("-----\n") + 6;
  for (std::size_t at = start; at < pem.size() && pem[at] != '-'; ++at) {
    if (pem[at] != '\n') base64 += pem[at];
  }
  std::vector<std::uint8_t> der(base64.size());
  const int length = EVP_DecodeBlock(der.data(), reinterpret_cast<const unsigned char*>(base64.data()),
                                     static_cast<int>(base64.size()));
  der.resize(static_cast<std::size_t>(length) -
             static_cast<std::size_t>(std::count(base64.begin(), base64.end(), '=')));
  return der;
}

TEST(KeyMemoryTest, DescribingAKeyLeavesNoCopyOfItsPrivatePart) {
  ASSERT_TRUE(g_openSslHooked);
  for (const auto& key : kPrivateKeys) {
    const auto der = DerOf(key.pem);
    kdcli::Json pem, bare;
    EXPECT_EQ(BlocksLeftHoldingASecret([&] {
                pem = kdcli::DescribeItem(reinterpret_cast<const unsigned char*>(key.pem.data()), key.pem.size());
                bare = kdcli::DescribeItem(der.data(), der.size());
              }),
              0)
        << key.pem;
    EXPECT_EQ(pem["objects"][0]["kind"], "private key") << pem.dump();
    EXPECT_EQ(bare["objects"][0]["kind"], "private key") << bare.dump();
  }
}

// The search finds what a decoder leaves: OpenSSL's own key decoder, run
// the way `show` once ran it, leaves the private exponent behind.
TEST(KeyMemoryTest, SearchFindsTheCopiesADecoderLeaves) {
  ASSERT_TRUE(g_openSslHooked);
  const auto der = DerOf(kPrivateKeys[0].pem);
  EXPECT_GT(BlocksLeftHoldingASecret([&] {
              const unsigned char* p = der.data();
              EVP_PKEY_free(d2i_AutoPrivateKey(nullptr, &p, static_cast<long>(der.size())));
            }),
            0);
}

}  // namespace

void* operator new(std::size_t size) {
  if (void* block = Allocate(size)) return block;
  throw std::bad_alloc();
}
void* operator new[](std::size_t size) { return operator new(size); }
void operator delete(void* block) noexcept { Release(block); }
void operator delete[](void* block) noexcept { Release(block); }
void operator delete(void* block, std::size_t) noexcept { Release(block); }
void operator delete[](void* block, std::size_t) noexcept { Release(block); }

int main(int argc, char** argv) {
  g_openSslHooked = CRYPTO_set_mem_functions(OpenSslMalloc, OpenSslRealloc, OpenSslFree) == 1;
  for (std::size_t i = 0; i < kPrivateKeys.size(); ++i) {
    const std::string_view hex = kPrivateKeys[i].secretHex;
    for (std::size_t b = 0; b < kSecretBytes; ++b) {
      const auto digit = [](char c) { return static_cast<std::uint8_t>(c <= '9' ? c - '0' : c - 'A' + 10); };
      g_secrets[i][b] = static_cast<std::uint8_t>(digit(hex[2 * b]) << 4 | digit(hex[2 * b + 1]));
    }
  }
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
