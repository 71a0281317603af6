// Known-answer tests of kdcrypto: published vectors (SHA-256 of "abc",
// PBKDF2-HMAC-SHA256 of RFC 7914's and the common "password"/"salt" cases,
// AES-256-GCM test case 16 of the GCM specification). Every system's
// implementation must give these exact bytes.
#include "kdcrypto/crypto.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

namespace {

using Buffer = std::vector<std::uint8_t>;

Buffer FromHex(std::string_view hex) {
  Buffer bytes;
  for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
    bytes.push_back(static_cast<std::uint8_t>(std::stoi(std::string(hex.substr(i, 2)), nullptr, 16)));
  }
  return bytes;
}

std::string Hex(kdcrypto::Bytes bytes) {
  static const char kDigits[] = "0123456789abcdef";
  std::string text;
  for (std::uint8_t b : bytes) text += {kDigits[b >> 4], kDigits[b & 15]};
  return text;
}

kdcrypto::Bytes Text(std::string_view text) {
  return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

TEST(CryptoTest, Sha256KnownAnswers) {
  std::uint8_t digest[kdcrypto::kSha256Bytes];
  ASSERT_TRUE(kdcrypto::Sha256(Text("abc"), digest));
  EXPECT_EQ(Hex(digest), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
  ASSERT_TRUE(kdcrypto::Sha256({}, digest));
  EXPECT_EQ(Hex(digest), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
}

TEST(CryptoTest, Sha1KnownAnswers) {
  std::uint8_t digest[kdcrypto::kSha1Bytes];
  ASSERT_TRUE(kdcrypto::Sha1(Text("abc"), digest));
  EXPECT_EQ(Hex(digest), "a9993e364706816aba3e25717850c26c9cd0d89d");
  ASSERT_TRUE(kdcrypto::Sha1({}, digest));
  EXPECT_EQ(Hex(digest), "da39a3ee5e6b4b0d3255bfef95601890afd80709");
}

TEST(CryptoTest, Pbkdf2KnownAnswersAndRefusals) {
  Buffer key(32);
  ASSERT_TRUE(kdcrypto::Pbkdf2Sha256("password", Text("salt"), 1, key));
  EXPECT_EQ(Hex(key), "120fb6cffcf8b32c43e7225256c4f837a86548c92ccc35480805987cb70be17b");
  ASSERT_TRUE(kdcrypto::Pbkdf2Sha256("password", Text("salt"), 4096, key));
  EXPECT_EQ(Hex(key), "c5e478d59288c841aa530db6845c4c8d962893a001ce4e11a4963873aa98134a");
  Buffer longer(40);
  ASSERT_TRUE(
      kdcrypto::Pbkdf2Sha256("passwordPASSWORDpassword", Text("saltSALTsaltSALTsaltSALTsaltSALTsalt"), 4096, longer));
  EXPECT_EQ(Hex(longer), "348c89dbcbd32b2f32d814b8116e84cf2b17347ebc1800181c4e2a1fb8dd53e1c635518c7dac47e9");
  EXPECT_FALSE(kdcrypto::Pbkdf2Sha256("password", {}, 1, key));
  EXPECT_FALSE(kdcrypto::Pbkdf2Sha256("password", Text("salt"), 0, key));
}

TEST(CryptoTest, AesGcmKnownAnswerAndTamperedInputs) {
  const Buffer key = FromHex("feffe9928665731c6d6a8f9467308308feffe9928665731c6d6a8f9467308308");
  const Buffer nonce = FromHex("cafebabefacedbaddecaf888");
  const Buffer plain = FromHex(
      "d9313225f88406e5a55909c5aff5269a86a7a9531534f7da2e4c303d8a318a721c3c0c95956809532fcf0e2449a6b525b16aedf5aa0de657"
      "ba637b39");
  const Buffer associated = FromHex("feedfacedeadbeeffeedfacedeadbeefabaddad2");
  Buffer cipher(plain.size()), tag(kdcrypto::kGcmTagBytes);
  ASSERT_TRUE(kdcrypto::AesGcmSeal(key, nonce, associated, plain, cipher, tag));
  EXPECT_EQ(Hex(cipher),
            "522dc1f099567d07f47f37a32a84427d643a8cdcbfe5c0c97598a2bd2555d1aa"
            "8cb08e48590dbb3da7b08b1056828838c5f61e6393ba7a0abcc9f662");
  EXPECT_EQ(Hex(tag), "76fc6ece0f4e1768cddf8853bb2d551b");

  Buffer opened(cipher.size());
  ASSERT_TRUE(kdcrypto::AesGcmOpen(key, nonce, associated, cipher, tag, opened));
  EXPECT_EQ(opened, plain);

  // Any changed input fails, and nothing unchecked is left in the output.
  Buffer changed = cipher;
  changed[5] ^= 1;
  Buffer otherAssociated = associated;
  otherAssociated.back() ^= 1;
  Buffer otherTag = tag;
  otherTag[0] ^= 1;
  for (const auto& [c, a, t] : {std::tuple{changed, associated, tag}, std::tuple{cipher, otherAssociated, tag},
                                std::tuple{cipher, associated, otherTag}}) {
    Buffer out(cipher.size(), 0xCC);
    EXPECT_FALSE(kdcrypto::AesGcmOpen(key, nonce, a, c, t, out));
    EXPECT_EQ(out, Buffer(cipher.size(), 0));
  }
  // Wrong sizes are refused, not read past.
  EXPECT_FALSE(kdcrypto::AesGcmSeal(Buffer(16), nonce, associated, plain, cipher, tag));
  Buffer shorter(plain.size() - 1);
  EXPECT_FALSE(kdcrypto::AesGcmSeal(key, nonce, associated, plain, shorter, tag));
}

TEST(CryptoTest, RandomBytesDifferAndConstantTimeEqualCompares) {
  Buffer a(32), b(32);
  ASSERT_TRUE(kdcrypto::RandomBytes(a));
  ASSERT_TRUE(kdcrypto::RandomBytes(b));
  EXPECT_NE(a, b);
  EXPECT_NE(a, Buffer(32));
  EXPECT_TRUE(kdcrypto::ConstantTimeEqual(a.data(), a.data(), a.size()));
  b = a;
  b.back() ^= 0x80;
  EXPECT_FALSE(kdcrypto::ConstantTimeEqual(a.data(), b.data(), a.size()));
}

}  // namespace
