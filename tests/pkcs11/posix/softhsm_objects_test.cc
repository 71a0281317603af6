// A SoftHSM2 token shared with other programs: pkcs11-tool (OpenSC) and
// p11tool (GnuTLS) read what keydepot writes byte for byte, and keydepot
// lists and loads what they write. Linux only, as the programs are Debian's
// (tools/setup.sh installs them); skipped when one is missing.
#include "softhsm_fixture.h"
#include "test_certificate.h"

#include "keydepot/ad/token_objects.h"
#include "kdtest/process.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace keydepot {
namespace {

constexpr HRESULT kKeyNotExported = static_cast<HRESULT>(0x8009000Bu);
const std::string kPin = "2468";

std::string AsRecord(const std::string& bytes) {
  std::string record(4, '\0');
  for (int i = 0; i < 4; ++i) record[i] = static_cast<char>(bytes.size() >> (8 * i));
  return record + bytes;
}

std::string Text(const IdentObj& data) { return std::string(reinterpret_cast<const char*>(data.pbData), data.cbData); }

class SharedTokenTest : public SoftHsmTest {
 protected:
  void SetUp() override {
    SoftHsmTest::SetUp();
    for (const char* program : {PKCS11_TOOL, P11TOOL, OPENSSL}) {
      if (std::string(program).empty() || !fs::exists(program)) {
        GTEST_SKIP() << "pkcs11-tool (opensc), p11tool (gnutls-bin) and openssl are needed: tools/setup.sh";
      }
    }
    WriteFile("cert.der", der_);
  }

  std::string File(const std::string& name) { return (root_ / name).string(); }
  void WriteFile(const std::string& name, const std::string& bytes) {
    std::ofstream(File(name), std::ios::binary) << bytes;
  }
  std::string ReadFile(const std::string& name) {
    std::ifstream in(File(name), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
  }

  // The program's standard output; a failure when it fails.
  static std::string Tool(const char* program, const std::vector<std::string>& arguments) {
    const kdtest::ProcessResult result = kdtest::RunProcess(program, arguments);
    EXPECT_EQ(result.code, 0) << program << ": " << result.err;
    return result.out;
  }
  // pkcs11-tool on Token A, logged in.
  static std::string OpenSc(std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(),
                     {"--module", SOFTHSM2_MODULE, "--token-label", "Token A", "--login", "--pin", kPin});
    return Tool(PKCS11_TOOL, arguments);
  }
  static std::string GnuTls(std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), {"--provider", SOFTHSM2_MODULE});
    return Tool(P11TOOL, arguments);
  }

  // The item as the library loads it (Load), or as stored (LoadVpn2Pass).
  std::string Load(const std::string& name, bool whole = false) {
    IdentObj data;
    CertInfo record = Record(PathOf("Token A") + name, &data, &kPin);
    EXPECT_TRUE(whole ? LoadVpn2Pass(&record) : keydepot::Load(&record)) << name << ": " << KDPGetLastError();
    return Text(data);
  }
  std::vector<std::string> Items() {
    const auto device = Find("Token A");
    ComPtr<IAD_KeyStorage> storage;
    EXPECT_EQ(device->PresentPIN(kPin.c_str()), S_OK);
    EXPECT_EQ(device.As(&storage), S_OK);
    std::vector<std::string> names;
    ComPtr<IAD_EnumStorageItems> items;
    if (!storage || storage->EnumItems(items.put()) != S_OK) return names;
    ComPtr<IAD_StorageItem> item;
    char name[AD_NAME_BUFFER];
    for (ULONG fetched = 0; items->Next(1, item.put(), &fetched) == S_OK && SUCCEEDED(item->GetName(name));) {
      names.push_back(name);
    }
    return names;
  }
  void SaveCertificate(const char* name) {
    const auto device = Find("Token A");
    ComPtr<IAD_TokenObjects> objects;
    ASSERT_EQ(device->PresentPIN(kPin.c_str()), S_OK);
    ASSERT_EQ(device->QueryInterface(IID_IAD_TokenObjects, objects.put_void()), S_OK);
    const auto der = test::Certificate();
    ASSERT_EQ(objects->WriteCertificate(name, der.data(), static_cast<DWORD>(der.size())), S_OK);
  }

  const std::string der_ = [] {
    const auto bytes = test::Certificate();
    return std::string(bytes.begin(), bytes.end());
  }();
};

TEST_F(SharedTokenTest, WhatKeydepotWritesOthersReadByteForByte) {
  std::string bytes;
  for (int i = 0; i < 600; ++i) bytes.push_back(static_cast<char>(i * 37));  // zeros too
  IdentObj data(bytes.data(), static_cast<DWORD>(bytes.size()));
  CertInfo record = Record(PathOf("Token A") + "notes", &data, &kPin);
  ASSERT_TRUE(Save(&record)) << KDPGetLastError();
  OpenSc({"--read-object", "--type", "data", "--label", "notes", "-o", File("notes.out")});
  EXPECT_EQ(ReadFile("notes.out"), bytes);
  const std::string listing = OpenSc({"--list-objects", "--type", "data"});
  EXPECT_NE(listing.find("application:    'keydepot'"), std::string::npos) << listing;

  // A certificate object: what both read is the certificate, with subject,
  // serial number and an identifier of its key (p11tool's).
  ASSERT_NO_FATAL_FAILURE(SaveCertificate("web"));
  OpenSc({"--read-object", "--type", "cert", "--label", "web", "-o", File("web.der")});
  EXPECT_EQ(ReadFile("web.der"), der_);
  EXPECT_EQ(GnuTls({"--export", "pkcs11:token=Token%20A;object=web;type=cert", "--outder"}), der_);
  const std::string parsed =
      Tool(OPENSSL, {"x509", "-inform", "DER", "-in", File("web.der"), "-noout", "-subject", "-serial"});
  EXPECT_NE(parsed.find("CN = keydepot test"), std::string::npos) << parsed;
  EXPECT_NE(parsed.find("serial=0102"), std::string::npos) << parsed;
  const std::string certificates = OpenSc({"--list-objects", "--type", "cert"});
  EXPECT_NE(certificates.find("subject:    DN: CN=keydepot test"), std::string::npos) << certificates;
  EXPECT_NE(certificates.find("serial:     0102"), std::string::npos) << certificates;
  EXPECT_NE(certificates.find("ID:         e7ba558b825948b9f50383975baed0de74112809"), std::string::npos)
      << certificates;
  const std::string all = GnuTls({"--list-all-certs", "pkcs11:token=Token%20A"});
  EXPECT_NE(all.find("Label: web"), std::string::npos) << all;

  // Saved under the name of a key pair made on the card: the certificate
  // joins the pair (its CKA_ID).
  OpenSc({"--keypairgen", "--key-type", "EC:prime256v1", "--label", "sig", "--id", "42"});
  ASSERT_NO_FATAL_FAILURE(SaveCertificate("sig"));
  OpenSc({"--read-object", "--type", "cert", "--id", "42", "-o", File("sig.der")});
  EXPECT_EQ(ReadFile("sig.der"), der_);
}

TEST_F(SharedTokenTest, WhatOthersWriteKeydepotListsAndLoads) {
  const std::string foreign("hello\0world", 11);
  WriteFile("foreign.bin", foreign);
  WriteFile("legacy.bin", AsRecord("written before values were bare"));
  OpenSc({"--write-object", File("foreign.bin"), "--type", "data", "--label", "foreign", "--private"});
  OpenSc({"--write-object", File("foreign.bin"), "--type", "data", "--label", "public"});
  OpenSc({"--write-object", File("legacy.bin"), "--type", "data", "--label", "legacy", "--private"});
  OpenSc({"--write-object", File("cert.der"), "--type", "cert", "--label", "opensc-cert", "--id", "44"});
  OpenSc({"--keypairgen", "--key-type", "EC:prime256v1", "--label", "pair", "--id", "43"});
  // Both a data object and a certificate container named "both": the data
  // object is the item.
  OpenSc({"--write-object", File("cert.der"), "--type", "cert", "--label", "both", "--id", "45"});
  OpenSc({"--write-object", File("foreign.bin"), "--type", "data", "--label", "both", "--private"});
  Tool(OPENSSL, {"x509", "-inform", "DER", "-in", File("cert.der"), "-out", File("cert.pem")});
  GnuTls({"--login", "--set-pin", kPin, "--write", "--load-certificate", File("cert.pem"), "--label", "imported",
          "pkcs11:token=Token%20A"});

  EXPECT_EQ(Items(), (std::vector<std::string>{"both", "foreign", "imported", "legacy", "opensc-cert", "public"}));
  EXPECT_EQ(Load("foreign"), foreign);
  EXPECT_EQ(Load("public"), foreign);
  EXPECT_EQ(Load("legacy"), "written before values were bare");
  EXPECT_EQ(Load("imported"), der_);
  EXPECT_EQ(Load("opensc-cert"), der_);
  EXPECT_EQ(Load("both"), foreign);
  EXPECT_EQ(Load("foreign", true), AsRecord(foreign));
  EXPECT_EQ(Load("imported", true), AsRecord(der_));

  // The key pair is a container, never an item: its keys are not read.
  IdentObj data;
  CertInfo record = Record(PathOf("Token A") + "pair", &data, &kPin);
  EXPECT_FALSE(keydepot::Load(&record));
  EXPECT_EQ(KDPGetLastError(), HResult2ToolsErr(kKeyNotExported));
  EXPECT_EQ(data.cbData, 0u);
  EXPECT_FALSE(IsExist(&record));
}

}  // namespace
}  // namespace keydepot
