// What `keydepot show` tells of certificates and keys, against answers
// recorded once: the same source runs on every system, so each system's
// certificate library is held to the same text. Of keys and unknown data it
// tells nothing but kind and size.
#include "der_reader.h"
#include "item_summary.h"
#include "sample_keys.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kdcli {
namespace {

using namespace samples;

Json Described(std::string_view item) {
  return DescribeItem(reinterpret_cast<const unsigned char*>(item.data()), item.size());
}

Json Objects(std::string_view item) { return Described(item)["objects"]; }

// The DER inside a PEM block (or of base64 text).
std::vector<std::uint8_t> Der(std::string_view text) {
  std::string base64;
  const std::size_t marker = text.find("-----\n");
  for (std::size_t at = marker == std::string_view::npos ? 0 : marker + 6; at < text.size() && text[at] != '-'; ++at) {
    if (text[at] != '\n') base64 += text[at];
  }
  kdp::WipedBytes der;
  EXPECT_TRUE(der::DecodeBase64(base64, &der));
  return {der.data(), der.data() + der.size()};
}

Json DerObjects(const std::vector<std::uint8_t>& der) { return DescribeItem(der.data(), der.size())["objects"]; }

std::string Hex(const std::uint8_t* data, std::size_t size) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string text;
  for (std::size_t i = 0; i < size; ++i) text += {kDigits[data[i] >> 4], kDigits[data[i] & 0x0F]};
  return text;
}

// Everything `show` prints of an item for people (the text, as SummaryLine
// and PrintDescription make it) and for scripts (the JSON), in upper case
// without ':' (as hex would be written either way).
std::string Printed(std::string_view item) {
  const Json description = Described(item);
  testing::internal::CaptureStdout();
  PrintDescription("item", description);
  std::string all = testing::internal::GetCapturedStdout() + SummaryLine(description) + description.dump();
  std::string folded;
  for (const char c : all) {
    if (c != ':') folded += static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
  }
  return folded;
}

// The first run of `run` bytes of data that `printed` holds in hex or as
// they are; empty when none does.
std::string HeldRun(const std::string& printed, const std::vector<std::uint8_t>& data, std::size_t run) {
  for (std::size_t at = 0; at + run <= data.size(); ++at) {
    const std::string hex = Hex(data.data() + at, run);
    const std::string raw(data.begin() + static_cast<std::ptrdiff_t>(at),
                          data.begin() + static_cast<std::ptrdiff_t>(at + run));
    if (printed.find(hex) != std::string::npos || printed.find(raw) != std::string::npos) return hex;
  }
  return {};
}

constexpr std::string_view kEcCert = R"(-----BEGIN CERTIFICATE-----
MIIB4DCCAYagAwIBAgIEAP8BAjAKBggqhkjOPQQDAjAmMRMwEQYDVQQDDApGaXh0
dXJlIENBMQ8wDQYDVQQHDAZCZXJsaW4wHhcNMjAwMjI5MTIwMDA1WhcNNDkxMjMx
MjM1OTU5WjCByTELMAkGA1UEBhMCREUxHTAbBgNVBAoMFE3DvGxsZXIsIFPDtmhu
ZSAmIENvMR4wCgYDVQQLDANSK0QwEAYKCZImiZPyLGQBAQwCdTExFTATBgNVBAMM
DCBsZWFkI1wgInEiIDEaMBgGCSqGSIb3DQEJARYLYUBiLmV4YW1wbGUxDTALBgQq
AwQFDANvZGQxETAPBgNVBAUMCHRhYgloZXJlMRcwFQYKCZImiZPyLGQBGRYHZXhh
bXBsZTENMAsGA1UECB4ETi1lhzBZMBMGByqGSM49AgEGCCqGSM49AwEHA0IABCYD
lK4UlZiGX2vFH6vgnzKQsbWalPxn57KbeXipetCfSd/+KGC4cbAfl+JEFO6Ng2/j
3J1LgSsFmAHKz9r+/f8wCgYIKoZIzj0EAwIDSAAwRQIgbCGmEl1Igh10ldvE1IgY
mfq2C8C77nMwSxRMXptl6fcCIQCX3HLsOJ394MkS/3KmSnA/qddDVFCNLdcwu9RI
HUAOGg==
-----END CERTIFICATE-----
)";

constexpr std::string_view kRsaCert = R"(-----BEGIN CERTIFICATE-----
MIIBwTCCASmgAwIBAgIBATANBgkqhkiG9w0BAQsFADAmMRMwEQYDVQQDDApGaXh0
dXJlIENBMQ8wDQYDVQQHDAZCZXJsaW4wHhcNOTkwMTAxMDAwMDAwWhcNMDEwMTAx
MDAwMDAwWjAmMRMwEQYDVQQDDApGaXh0dXJlIENBMQ8wDQYDVQQHDAZCZXJsaW4w
gZ8wDQYJKoZIhvcNAQEBBQADgY0AMIGJAoGBYXTbrBKKpTjMAj5mTALbILyxi63Z
6KNuHAFB1xi1v6cU7KLnZbReDki3USrxRByJruGVARWnfpw4ERXLy6nTQXg01UCK
jzINZRH3m07VR7V38i2O9xao/2RpHYKvqKxiRA8a5a3tN4NJqDeQWILAicJniN6q
zlul7u86LSBdAQCzAgMBAAEwDQYJKoZIhvcNAQELBQADgYIALx4OW7tquLRzk+pP
a6JojMwgthRFxtPGNoVwxm5z5gMYoeNpM+ZO8JrqJTnvCipfoCybz158thKSxuAR
vY815EAVlBQNe9OsgLZ1DJbryLwk7O7nNs8Swed4l6frDUSSI7lBFxkwSNh9rgwR
xJAIdgFsCx4jI27R4OALKbSJY1H1
-----END CERTIFICATE-----
)";

constexpr std::string_view kReq = R"(-----BEGIN CERTIFICATE REQUEST-----
MIIBZjCBzwIBADAmMRMwEQYDVQQDDApGaXh0dXJlIENBMQ8wDQYDVQQHDAZCZXJs
aW4wgZ8wDQYJKoZIhvcNAQEBBQADgY0AMIGJAoGBYXTbrBKKpTjMAj5mTALbILyx
i63Z6KNuHAFB1xi1v6cU7KLnZbReDki3USrxRByJruGVARWnfpw4ERXLy6nTQXg0
1UCKjzINZRH3m07VR7V38i2O9xao/2RpHYKvqKxiRA8a5a3tN4NJqDeQWILAicJn
iN6qzlul7u86LSBdAQCzAgMBAAGgADANBgkqhkiG9w0BAQsFAAOBggBFnjsl9jc9
LqpU/K+XIhhmtcUQbd2tt3BmcrRALNgMK5yvP9WClrSK6hqZ85dcGXmMrCWrIDh3
QiW3NXPVmnLCprp5Ql2g0H0hsQPv00uUfYgIUKARQjd6JVGoca+KKUvBxdPe2EVc
zjbbE8E7Ds7wgU6GnjNt2HUMB6//nqa/J7A=
-----END CERTIFICATE REQUEST-----
)";

constexpr std::string_view kEdPub = R"(-----BEGIN PUBLIC KEY-----
MCowBQYDK2VwAyEAn0H8caBVvM3lDe88mMFkidvwEu96VilKLpIXiPkbgOE=
-----END PUBLIC KEY-----
)";

constexpr std::string_view kRsaPub1 = R"(-----BEGIN RSA PUBLIC KEY-----
MIGJAoGBYXTbrBKKpTjMAj5mTALbILyxi63Z6KNuHAFB1xi1v6cU7KLnZbReDki3
USrxRByJruGVARWnfpw4ERXLy6nTQXg01UCKjzINZRH3m07VR7V38i2O9xao/2Rp
HYKvqKxiRA8a5a3tN4NJqDeQWILAicJniN6qzlul7u86LSBdAQCzAgMBAAE=
-----END RSA PUBLIC KEY-----
)";

constexpr std::string_view kEc521Pub = R"(-----BEGIN PUBLIC KEY-----
MIGbMBAGByqGSM49AgEGBSuBBAAjA4GGAAQBB1CAmPxdZlN3v3QoAZij71Pj0uay
MHmLt5lL+UwZd7O0APgrzuXZPX/OYWlRGb6GD1gtIHUF9oxQMxKBgNi/93sAOqQ7
v+4757VBjSBFVFx+CbTVOD0wP1RFAyPt31Q5s4KLYbbhx/xgVLnvkV045BiBlb3B
FtxtjsjnYsFCBWmVFkY=
-----END PUBLIC KEY-----
)";

constexpr std::string_view kEncryptedDer =
    "MIH0MF8GCSqGSIb3DQEFDTBSMDEGCSqGSIb3DQEFDDAkBBDJGBxnEQfmkmdbuMWZTdxNAgIIADAMBggqhkiG9w0CCQUAMB0GCWCG"
    "SAFlAwQBKgQQMd/QwE1Lv1xiRgej7xMtLQSBkIFuKSEvzLWU8EjsUcb3cwCCAB/ljWP6VAWUXJVQPIIKnsFYsq9tpKAwKSSu5ZwT"
    "b9B2oekAiWrJlTqZVy4+ban79Nk36YLhF4fnO78X8C1aYY4nGsX8Gjvz2+JoTw+0FnGMcgC7YeJCjR/eY9lshkgw2dCUBhRp2UGr"
    "wK/Y1F+mAy0GQGzqjDTWskqeloE8UA==";

constexpr std::string_view kBundleDer =
    "MIIEnwIBAzCCBFUGCSqGSIb3DQEHAaCCBEYEggRCMIIEPjCCAtoGCSqGSIb3DQEHBqCCAsswggLHAgEAMIICwAYJKoZIhvcNAQcB"
    "MF8GCSqGSIb3DQEFDTBSMDEGCSqGSIb3DQEFDDAkBBAGvUnQ/Ro+rc2wRWcWMQ8sAgJOIDAMBggqhkiG9w0CCQUAMB0GCWCGSAFl"
    "AwQBKgQQfhTihAK1SWz4wgxE7dC0s4CCAlA9x70B6yK2yBNEC6pYVh1QtaNqXUQcMZJEHdtoSjZA+aX24JJ4rb2WHD9XqFrOl/h1"
    "6KC0DDQptUuWZ126UHMcu0wYkoZ8n9kBbuCaE80rcPyQcs1bHjWyLX7VqTaP27XB02rFlFA0QErnuORJu/YLGc2P1O4y6TmrR+5Y"
    "d7lDlbvw7PzA8tXz6SI29cAGEFg/c2tbJOn108++++NOPr/vqzX0e366A8lZcTt+UhNt0uIJoiIFYex7OobFGKAuxsphEqplDtPW"
    "vWxd80F7ZeuhcrEY9hzzEzsVLf4/Q7o/dD5zKo8oCvXVWtP1crlBLwTFO4oeboKsg3Aq0RHGr/Zn7vdv09xf0ZYwbf2hYL0Lb9nm"
    "JL+oHYXdaJSJM0a54ay3RHC7NTFtNIFcXQvfZ02jHdn7dlJ2sMGFAFcKo2ypyDbnDSh3tV1i4wEdGZjqm17ARIymj20RFpuFPstD"
    "b6gp2ya3dXpSUFTtLzXHx3PrLTajcbskLcq6qsO6VmqanlK4O8T1NPvtGCJZ4wQRaoZJRlt8ZT6C/DL/ICEWCqe7GD3PVJKGGjSW"
    "d3UdCC5hYlNN0gn+6zpniEB7VQ+5Uq26gHiUk43592Mppud6pZPzBO/zgyh0W7GKVieAtm8ZR3WL613Ps05t0HCeUFOpMSPF20FR"
    "dbEW+mz77fNuN7JM6rH2tSsLlttcOXoZU/tPGpaId6lzFIROY65OSB2z02k/TfUBdLdHG2qd1PLMVxX8T3+4IQVIP8LfR0mxyHGv"
    "/KH+q7wdh0/YicSuxOZBgVv2MIIBXAYJKoZIhvcNAQcBoIIBTQSCAUkwggFFMIIBQQYLKoZIhvcNAQwKAQKggfcwgfQwXwYJKoZI"
    "hvcNAQUNMFIwMQYJKoZIhvcNAQUMMCQEELR+TmffZoXsDeRyeAEqk44CAk4gMAwGCCqGSIb3DQIJBQAwHQYJYIZIAWUDBAEqBBD4"
    "sTJBtyW+P4PAclJFeNJOBIGQVWluqkuuJNRKD1Oa41+K2ktGSiUo04fHmbRKHycNzPrjJlTDdnfdbSINWCvDjlk5YjDVPqYvb/iz"
    "aaS44LFmvN/ewnienVIswZzplHHdz4ljNpKFfkgO55K7UY9s6KAV1OkQBGyNbrg1f0nQpwugUFPpwCDDQ2Ymntygv4HFps7nsr6D"
    "Y8ecPvQ/Z/aCKXDUMTgwEQYJKoZIhvcNAQkUMQQeAgBuMCMGCSqGSIb3DQEJFTEWBBTDqEiSlukwYbLOQOrBtfBgnNyx4zBBMDEw"
    "DQYJYIZIAWUDBAIBBQAEIAfSuBRBus3tYsbZfLc7MQaPfgF9iVqHVozQ1FcVh1OMBAiN8/oZvcY+FAICCAA=";

TEST(ItemSummaryTest, CertificatesInPemAndDer) {
  const Json ec = Json::parse(R"([{"kind": "certificate",
    "subject": "C=DE, O=\"Müller, Söhne & Co\", OU=\"R+D\" + UID=u1, CN=\" lead#\\\\ \\\"q\\\" \", emailAddress=a@b.example, 1.2.3.4.5=odd, serialNumber=tab\\09here, DC=example, ST=中文",
    "issuer": "CN=Fixture CA, L=Berlin", "serial": "FF0102",
    "not_before": "2020-02-29T12:00:05Z", "not_after": "2049-12-31T23:59:59Z", "validity": "valid",
    "key": {"type": "EC", "bits": 256, "group": "prime256v1"},
    "sha256": "A7:B1:EE:4A:F8:60:D8:00:20:CD:9D:25:4F:70:C4:E5:01:A7:B7:75:DC:A3:CF:32:4C:42:F2:38:A3:E5:5D:B9"}])");
  EXPECT_EQ(Objects(kEcCert), ec);
  EXPECT_EQ(DerObjects(Der(kEcCert)), ec);
  EXPECT_EQ(Objects(kRsaCert), Json::parse(R"([{"kind": "certificate",
    "subject": "CN=Fixture CA, L=Berlin", "issuer": "CN=Fixture CA, L=Berlin", "serial": "01",
    "not_before": "1999-01-01T00:00:00Z", "not_after": "2001-01-01T00:00:00Z", "validity": "expired",
    "key": {"type": "RSA", "bits": 1031},
    "sha256": "27:CD:7C:73:72:5F:49:15:1B:5C:63:E7:24:31:DC:C3:13:89:B3:EA:97:16:0C:79:27:59:A3:35:A5:0D:9C:B3"}])"));
  // Every block of a file, in order.
  const Json both = Objects(std::string(kRsaCert) + "text between blocks\n" + std::string(kEcPkcs8));
  ASSERT_EQ(both.size(), 2u);
  EXPECT_EQ(both[1]["kind"], "private key");
}

TEST(ItemSummaryTest, RequestsAndKeysByTypeAndSizeOnly) {
  EXPECT_EQ(Objects(kReq), Json::parse(R"([{"kind": "certificate request", "subject": "CN=Fixture CA, L=Berlin",
                                            "key": {"type": "RSA", "bits": 1031}}])"));
  const auto key = [](const char* kind, const char* type, int bits, const char* group = nullptr) {
    Json k = {{"type", type}, {"bits", bits}};
    if (group != nullptr) k["group"] = group;
    return Json::array({Json{{"kind", kind}, {"key", k}}});
  };
  EXPECT_EQ(Objects(kEcPkcs8), key("private key", "EC", 256, "prime256v1"));
  EXPECT_EQ(Objects(kEcSec1), key("private key", "EC", 384, "secp384r1"));
  EXPECT_EQ(Objects(kRsaPkcs1), key("private key", "RSA", 1031));
  EXPECT_EQ(Objects(kRsaPkcs8), key("private key", "RSA", 1031));
  EXPECT_EQ(Objects(kEdPkcs8), key("private key", "ED25519", 256));
  EXPECT_EQ(Objects(kEdPub), key("public key", "ED25519", 256));
  EXPECT_EQ(Objects(kRsaPub1), key("public key", "RSA", 1031));
  EXPECT_EQ(Objects(kEc521Pub), key("public key", "EC", 521, "secp521r1"));
  EXPECT_EQ(DerObjects(Der(kEcPkcs8)), key("private key", "EC", 256, "prime256v1"));
  EXPECT_EQ(DerObjects(Der(kEncryptedDer)), Json::parse(R"([{"kind": "encrypted private key"}])"));
  // A curve given by its parameters is unnamed, whatever curve they make.
  const Json unnamed = Json::parse(R"([{"kind": "private key", "key": {"type": "EC", "bits": 0, "group": null}}])");
  EXPECT_EQ(Objects(kEcExplicitSec1), unnamed);
  EXPECT_EQ(Objects(kEcExplicitPkcs8), unnamed);
  EXPECT_EQ(SummaryLine(Described(kEcExplicitPkcs8)), "private key (EC (unnamed curve))");
  EXPECT_EQ(DerObjects(Der(kBundleDer)), Json::parse(R"([{"kind": "PKCS#12 bundle"}])"));
}

TEST(ItemSummaryTest, DamagedItemsAreNotRecognised) {
  std::string cut(kEcCert);
  cut.resize(cut.find("-----END"));
  EXPECT_TRUE(Objects(cut).empty());
  std::string badBase64(kEcCert);
  badBase64[40] = '*';
  EXPECT_TRUE(Objects(badBase64).empty());
  auto der = Der(kRsaCert);
  der.push_back(0);  // a byte after the object
  EXPECT_TRUE(DerObjects(der).empty());
  der.resize(der.size() - 2);
  EXPECT_TRUE(DerObjects(der).empty());
}

// No form of a private key, and no part of data that is not recognised,
// reaches the output: not its private part, not its base64 lines, not any 4
// bytes of its DER in a row.
TEST(ItemSummaryTest, NoByteOfAKeyOrOfUnknownDataIsPrinted) {
  for (const PrivateKey& key : kPrivateKeys) {
    const auto der = Der(key.pem);
    const std::string pemPrinted = Printed(key.pem);
    const std::string derPrinted = Printed(std::string_view(reinterpret_cast<const char*>(der.data()), der.size()));
    ASSERT_NE(pemPrinted.find("PRIVATE KEY"), std::string::npos) << key.pem;
    for (const std::string& printed : {pemPrinted, derPrinted}) {
      EXPECT_EQ(printed.find(key.secretHex), std::string::npos) << printed;
      EXPECT_EQ(HeldRun(printed, der, 4), "") << printed;
    }
  }
  // The structure of a SEC 1 key with an unknown version: unrecognised
  // data, which once had its first 16 bytes shown, the start of the scalar
  // among them.
  auto damaged = Der(kEcExplicitSec1);
  ASSERT_EQ(damaged[6], 1);
  damaged[6] = 7;
  const std::string item(damaged.begin(), damaged.end());
  EXPECT_TRUE(Objects(item).empty());
  EXPECT_EQ(HeldRun(Printed(item), damaged, 4), "");
  std::vector<std::uint8_t> counting(100);
  for (std::size_t i = 0; i < counting.size(); ++i) counting[i] = static_cast<std::uint8_t>(i);
  const Json data = Described(std::string(counting.begin(), counting.end()));
  EXPECT_EQ(data, Json::parse(R"({"bytes": 100, "encoding": "unknown", "objects": []})"));
  EXPECT_EQ(HeldRun(Printed(std::string(counting.begin(), counting.end())), counting, 4), "");
}

TEST(ItemSummaryTest, TextIsToldByItsLineCountOnly) {
  const std::string password = "s3cret-password\tx\r\nline two\n";
  EXPECT_EQ(Described(password), Json::parse(R"({"bytes": 28, "encoding": "unknown", "objects": [], "lines": 2})"));
  EXPECT_EQ(Printed(password).find("S3CRET"), std::string::npos);
  EXPECT_EQ(SummaryLine(Described(password)), "text, 2 lines");
  EXPECT_EQ(SummaryLine(Described("one line, no end")), "text, 1 line");
  EXPECT_EQ(SummaryLine(Described("Gr\xC3\xBC\xC3\x9F\n")), "text, 1 line");
  // Not text: a control character, or bytes that are not UTF-8.
  EXPECT_EQ(SummaryLine(Described("a\x1B[2Jb")), "data");
  EXPECT_EQ(SummaryLine(Described("caf\xE9\n")), "data");
  EXPECT_EQ(SummaryLine(Described("")), "data");
}

// Private keys are read by their outer structure alone; lengths that point
// outside the bytes, a wrong number of fields or a negative modulus make
// them no key.
TEST(ItemSummaryTest, PrivateKeyStructureIsCheckedNotTrusted) {
  const auto read = [](std::vector<std::uint8_t> der) { return der::ReadPrivateKey(der); };
  // version 0, modulus 5, then seven one-byte INTEGERs.
  std::vector<std::uint8_t> rsa = {0x30, 0x1B, 0x02, 0x01, 0x00, 0x02, 0x01, 0x05};
  for (int i = 0; i < 7; ++i) rsa.insert(rsa.end(), {0x02, 0x01, 0x03});
  ASSERT_TRUE(read(rsa));
  EXPECT_EQ(read(rsa)->bits, 3);
  auto eight = rsa;
  eight.resize(eight.size() - 3);
  eight[1] = 0x18;
  EXPECT_FALSE(read(eight));
  auto negative = rsa;
  negative[7] = 0x85;
  EXPECT_FALSE(read(negative));
  auto longer = rsa;
  longer[1] = 0x1C;  // one byte more than there is
  EXPECT_FALSE(read(longer));
  EXPECT_FALSE(read({0x30, 0x84, 0xFF, 0xFF, 0xFF, 0xF0, 0x02, 0x01, 0x00}));
  EXPECT_FALSE(read({0x30, 0x89, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00}));
  // A PKCS#8 key whose inner key claims more than its OCTET STRING holds.
  auto pkcs8 = Der(kEcPkcs8);
  ASSERT_TRUE(read(pkcs8));
  const std::size_t inner = 3 + 3 + 2 + 0x13 + 2;  // header, version, algorithm, OCTET STRING header
  ASSERT_EQ(pkcs8[inner], 0x30);
  pkcs8[inner + 1] += 1;
  EXPECT_FALSE(read(pkcs8));
}

}  // namespace
}  // namespace kdcli
