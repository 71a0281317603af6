// PKCS#11 URIs through p11-kit, without a token: which URIs are refused,
// what they name, and which tokens they match, against token fields as a
// token pads them.
#include "failure.h"
#include "pkcs11_uri.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace kdcli {
namespace {

// Blank-padded, as CK_TOKEN_INFO carries them.
AD_TokenInfo Token(const char* label, const char* serial, const char* manufacturer = "SoftHSM project",
                   const char* model = "SoftHSM v2") {
  AD_TokenInfo token;
  auto put = [](BYTE* field, std::size_t size, const char* text) {
    std::memset(field, ' ', size);
    std::memcpy(field, text, std::strlen(text));
  };
  put(token.label, sizeof token.label, label);
  put(token.serial, sizeof token.serial, serial);
  put(token.manufacturer, sizeof token.manufacturer, manufacturer);
  put(token.model, sizeof token.model, model);
  return token;
}

// The message of the Failure the URI is refused with; "" when accepted.
std::string Refusal(const std::string& uri) {
  try {
    Pkcs11Uri parsed(uri);
    return {};
  } catch (const Failure& e) {
    EXPECT_EQ(e.code(), kBadPath) << uri;
    return e.what();
  }
}

TEST(Pkcs11Uri, TokenAttributesMatchAnySubsetOfTheFields) {
  const AD_TokenInfo tour = Token("Tour card", "d73f50cb186ab6dc");
  const AD_TokenInfo other = Token("Card B", "17b0823085cc91b6");
  const Pkcs11Uri byLabel("pkcs11:token=Tour%20card;object=tour-cert");
  EXPECT_TRUE(byLabel.MatchesToken(tour));
  EXPECT_FALSE(byLabel.MatchesToken(other));
  const Pkcs11Uri bySerial("pkcs11:serial=17b0823085cc91b6");
  EXPECT_FALSE(bySerial.MatchesToken(tour));
  EXPECT_TRUE(bySerial.MatchesToken(other));
  const Pkcs11Uri byMaker("pkcs11:manufacturer=SoftHSM%20project;model=SoftHSM%20v2");
  EXPECT_TRUE(byMaker.MatchesToken(tour) && byMaker.MatchesToken(other));  // the caller reports the ambiguity
  EXPECT_FALSE(Pkcs11Uri("pkcs11:token=Tour").MatchesToken(tour));         // whole fields, not prefixes
  EXPECT_FALSE(Pkcs11Uri("pkcs11:token=tour%20card").MatchesToken(tour));  // exact bytes
  EXPECT_FALSE(Pkcs11Uri("pkcs11:token=Tour%20card;serial=1").MatchesToken(tour));
  EXPECT_TRUE(Pkcs11Uri("PKCS11:token=Tour%20card").MatchesToken(tour));
  EXPECT_TRUE(Pkcs11Uri("pkcs11:").MatchesToken(tour));
}

TEST(Pkcs11Uri, ObjectIdAndTypeAreDecoded) {
  const Pkcs11Uri named("pkcs11:token=Tour%20card;object=a%2Fb%20c;type=data");
  EXPECT_EQ(named.object(), "a/b c");
  EXPECT_EQ(named.type(), "data");
  EXPECT_FALSE(named.id());
  const Pkcs11Uri byId("pkcs11:id=%0A%00%ff;object=tour-cert;type=cert");
  ASSERT_TRUE(byId.id());
  EXPECT_EQ(*byId.id(), (std::vector<std::uint8_t>{0x0A, 0x00, 0xFF}));
  EXPECT_EQ(byId.object(), "tour-cert");
  EXPECT_EQ(Pkcs11Uri("pkcs11:object=k;type=private").type(), "private");
  EXPECT_EQ(Pkcs11Uri("pkcs11:object=k;type=public").type(), "public");
  EXPECT_EQ(Pkcs11Uri("pkcs11:token=x").object(), "");
  EXPECT_EQ(Pkcs11Uri("pkcs11:token=x?x-vendor=2").object(), "") << "unknown vendor query attributes are ignored";
}

TEST(Pkcs11Uri, PinsModulesAndUnknownAttributesAreRefusedWithoutEchoingThem) {
  for (const char* uri :
       {"pkcs11:token=Tour%20card;object=c?pin-value=20468", "pkcs11:token=T?pin-source=file:20468"}) {
    const std::string message = Refusal(uri);
    EXPECT_NE(message.find("carries a PIN"), std::string::npos) << message;
    EXPECT_EQ(message.find("20468"), std::string::npos) << message;
  }
  EXPECT_NE(Refusal("pkcs11:token=T?module-path=/tmp/evil.so").find("names a module"), std::string::npos);
  EXPECT_NE(Refusal("pkcs11:token=T?module-name=softhsm2").find("names a module"), std::string::npos);
  EXPECT_NE(Refusal("pkcs11:library-description=x;token=T").find("library- or slot-"), std::string::npos);
  EXPECT_NE(Refusal("pkcs11:slot-id=3;token=T").find("library- or slot-"), std::string::npos);
  EXPECT_NE(Refusal("pkcs11:toke=T").find("does not know"), std::string::npos);
  EXPECT_NE(Refusal("pkcs11:token=T%2").find("does not parse"), std::string::npos);
  EXPECT_NE(Refusal("pkcs11:object=k;type=secret-key").find("type"), std::string::npos);
  EXPECT_NE(Refusal("pkcs11:id=%01;type=data").find("no CKA_ID"), std::string::npos);
  EXPECT_EQ(Refusal("pkcs11:model=SoftHSM%20v2;manufacturer=SoftHSM%20project;serial=d73f;token=Tour%20card;id=%0A;"
                    "object=tour-cert;type=cert"),
            "");
}

TEST(Pkcs11Uri, WrittenUrisParseBackToTheSameTokenAndObject) {
  const AD_TokenInfo tour = Token("Tour card;x=1", "d73f50cb186ab6dc");
  const auto token = TokenUri(tour);
  ASSERT_TRUE(token);
  EXPECT_EQ(
      *token,
      "pkcs11:model=SoftHSM%20v2;manufacturer=SoftHSM%20project;serial=d73f50cb186ab6dc;token=Tour%20card%3Bx%3D1");
  const auto object = TokenUri(tour, "a;b/c", "data");
  ASSERT_TRUE(object);
  EXPECT_EQ(object->rfind(*token, 0), 0u) << *object;
  const Pkcs11Uri parsed(*object);
  EXPECT_TRUE(parsed.MatchesToken(tour));
  EXPECT_FALSE(parsed.MatchesToken(Token("Tour card", "d73f50cb186ab6dc")));
  EXPECT_EQ(parsed.object(), "a;b/c");
  EXPECT_EQ(parsed.type(), "data");
  EXPECT_EQ(Pkcs11Uri(*TokenUri(tour, "k", "cert")).type(), "cert");
  EXPECT_EQ(Pkcs11Uri(*TokenUri(tour, "k")).type(), "");
}

}  // namespace
}  // namespace kdcli
