// The Windows build has no p11-kit: it reads no PKCS#11 URI and writes none.
#include "failure.h"
#include "pkcs11_uri.h"

#include <gtest/gtest.h>

#include <string>

namespace kdcli {
namespace {

TEST(Pkcs11Uri, WindowsRefusesEveryUriAndWritesNone) {
  try {
    Pkcs11Uri parsed("pkcs11:token=Tour%20card;object=cert");
    FAIL() << "a URI was read";
  } catch (const Failure& e) {
    EXPECT_EQ(e.code(), kBadPath);
    EXPECT_NE(std::string(e.what()).find("not read on Windows"), std::string::npos) << e.what();
  }
  EXPECT_FALSE(TokenUri(AD_TokenInfo{}));
}

}  // namespace
}  // namespace kdcli
