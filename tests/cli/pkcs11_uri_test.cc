// Which texts are PKCS#11 URIs: the same on every system.
#include "pkcs11_uri.h"

#include <gtest/gtest.h>

namespace kdcli {
namespace {

TEST(Pkcs11Uri, OnlyThePkcs11SchemeIsAUri) {
  EXPECT_TRUE(IsPkcs11Uri("pkcs11:"));
  EXPECT_TRUE(IsPkcs11Uri("Pkcs11:token=x"));
  EXPECT_FALSE(IsPkcs11Uri("pkcs11"));
  EXPECT_FALSE(IsPkcs11Uri("./pkcs11:x"));
  EXPECT_FALSE(IsPkcs11Uri("pkcs12:x"));
}

}  // namespace
}  // namespace kdcli
