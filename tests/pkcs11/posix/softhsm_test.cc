// The library on the tokens of a real module made by others, SoftHSM2
// (Linux only here): tokens made with softhsm2-util in a temporary
// SOFTHSM2_CONF for each test, next to a software-token device; and the
// module list of p11-kit's registrations, Linux's own. What tokens do is
// tested in detail, on every system, on the test module (token_test.cc).
#include "softhsm_fixture.h"

#include "kdplatform/environment.h"

#include <p11-kit/p11-kit.h>
#include <p11-kit/pkcs11.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <vector>

namespace keydepot {
namespace {

constexpr HRESULT kWrongPin = HRESULT_FROM_WIN32(86);
constexpr HRESULT kNotReady = HRESULT_FROM_WIN32(ERROR_NOT_READY);
constexpr char kTokenPrefix[] = "1|2\\5|300\\17|";

std::string Output(const std::string& command) {
  std::string out;
  if (FILE* pipe = ::popen(command.c_str(), "r")) {
    char buffer[512];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.append(buffer, n);
    ::pclose(pipe);
  }
  return out;
}

TEST_F(SoftHsmTest, TokensAreDevicesBesideTheSoftTokenAndHoldItems) {
  Run(std::string(NODYX_ADMIN) + " create soft --type 100 --id 0A0B --display-name Soft");
  EXPECT_EQ(DisplayNames(), (std::set<std::string>{"Soft", "Token A", "Token B"}));
  const std::string a = PathOf("Token A"), b = PathOf("Token B");
  ASSERT_EQ(a.rfind(kTokenPrefix, 0), 0u) << a;
  EXPECT_EQ(a, kTokenPrefix + a.substr(std::strlen(kTokenPrefix), 32) + "\\8|");
  EXPECT_NE(a, b);
  ComPtr<IAD_Device> device;
  ASSERT_EQ(ad::FindDeviceByPath(Session(), a.c_str(), device.put()), S_OK);
  char system[AD_NAME_BUFFER] = {};
  ASSERT_EQ(device->GetSystemName(system), S_OK);
  EXPECT_EQ(std::string(system).rfind("SoftHSM slot ID", 0), 0u) << system;
  device.reset();
  eStorageType type = StorageNone;
  EXPECT_EQ(GetStorageType(a.c_str(), type), S_OK);
  EXPECT_EQ(type, StorageCryptoDevice);  // a software token's slot is no hardware slot

  // SoftHSM2 numbers its slots anew each time it starts; the path stays.
  Reopen();
  EXPECT_EQ(PathOf("Token A"), a);

  std::string bytes;
  for (int i = 0; i < 5000; ++i) bytes.push_back(static_cast<char>(i * 131 + 7));  // zeros too; over 4 KiB
  IdentObj data(bytes.data(), static_cast<DWORD>(bytes.size())), loaded;
  const std::string wrong = "1111", right = "2468";
  CertInfo record = Record(a + "cert", &data, nullptr);
  EXPECT_FALSE(Save(&record));
  EXPECT_EQ(KDPGetLastError(), HResult2ToolsErr(E_ACCESSDENIED));
  record.pin = &wrong;
  EXPECT_FALSE(Save(&record));
  EXPECT_EQ(KDPGetLastError(), HResult2ToolsErr(kWrongPin));
  record.pin = &right;
  ASSERT_TRUE(Save(&record)) << KDPGetLastError();
  record.data = &loaded;
  ASSERT_TRUE(Load(&record)) << KDPGetLastError();
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(loaded.pbData), loaded.cbData), bytes);
  const std::string pinB = "1357";
  CertInfo onB = Record(b + "cert", &loaded, &pinB);
  EXPECT_FALSE(IsExist(&onB));
  ASSERT_TRUE(Clear(&record));
  EXPECT_FALSE(IsExist(&record));

  // A key made elsewhere and imported: its public key names its container
  // before any login.
  Run("openssl genpkey -algorithm EC -pkeyopt ec_paramgen_curve:P-256 -out " + (root_ / "key.pem").string());
  Run(std::string(SOFTHSM2_UTIL) + " --import " + (root_ / "key.pem").string() +
      " --token 'Token A' --label sig --id 01 --pin 2468");
  const std::string location = "\\\\!\\Pkcs11Token\\" + a.substr(std::strlen(kTokenPrefix), 32);
  std::list<std::string> names;
  EXPECT_EQ(ad::GetADContainerNames(Session(), location.c_str(), names, true, false), S_OK);
  EXPECT_EQ(names, std::list<std::string>{a + "sig"});

  // Left open at exit: the library drops its shared sessions as it is
  // unloaded, after SoftHSM2's own exit handlers have run.
  ASSERT_EQ(ad::FindDeviceByPath(Session(), a.c_str(), device.put()), S_OK);
  EXPECT_EQ(device->PresentPIN("2468"), S_OK);
  session_ = 0;
}

// Initialises the module's free token through PKCS#11 in this process, as a
// card put into a reader shows up.
void InitFreeToken(const char* label) {
  CK_FUNCTION_LIST* f = p11_kit_module_load(SOFTHSM2_MODULE, 0);
  ASSERT_NE(f, nullptr);
  ASSERT_EQ(f->C_Initialize(nullptr), CKR_OK);
  CK_SLOT_ID slots[16];
  CK_ULONG count = 16;
  ASSERT_EQ(f->C_GetSlotList(CK_TRUE, slots, &count), CKR_OK);
  for (CK_ULONG i = 0; i < count; ++i) {
    CK_TOKEN_INFO info{};
    if (f->C_GetTokenInfo(slots[i], &info) != CKR_OK || (info.flags & CKF_TOKEN_INITIALIZED) != 0) continue;
    CK_UTF8CHAR padded[32];
    std::memset(padded, ' ', sizeof padded);
    std::memcpy(padded, label, std::strlen(label));
    EXPECT_EQ(f->C_InitToken(slots[i], reinterpret_cast<CK_UTF8CHAR*>(const_cast<char*>("0000")), 4, padded), CKR_OK);
    break;
  }
  f->C_Finalize(nullptr);
  p11_kit_module_release(f);
}

// SoftHSM2 answers for a deleted token in its own ways.
TEST_F(SoftHsmTest, TokenPulledBetweenTwoCallsAndAnotherInserted) {
  const std::string a = PathOf("Token A");
  auto sink = ComPtr<EventRecorder>::Adopt(new EventRecorder);
  ad::Session interactive(nullptr, sink.get(), true);
  ComPtr<IAD_Device> device;
  ComPtr<IAD_KeyStorage> storage;
  ASSERT_NO_FATAL_FAILURE(DeviceInUse(interactive, a, "2468", &device, &storage));
  DWORD count = 3;

  Run(std::string(SOFTHSM2_UTIL) + " --delete-token --token 'Token A'");
  EXPECT_EQ(storage->Write(device.get(), "k", reinterpret_cast<const BYTE*>("abc"), &count), kNotReady);
  BOOL exists = TRUE;
  EXPECT_EQ(storage->Exists(device.get(), "k", &exists), kNotReady);
  auto* manager = static_cast<IAD_DeviceMgr*>(interactive);
  ASSERT_EQ(manager->Refresh(), S_OK);
  EXPECT_EQ(sink->events, std::vector<std::string>{"-Token A"});
  EXPECT_EQ(ad::FindDeviceByPath(interactive, a.c_str(), device.put()), HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));

  InitFreeToken("Token C");
  ASSERT_EQ(manager->Refresh(), S_OK);
  EXPECT_EQ(sink->events, (std::vector<std::string>{"-Token A", "+Token C"}));
}

TEST_F(SoftHsmTest, ModuleListFromTheConfigFileElseTheSystem) {
  kdp::RemoveEnvironmentValue("NODYX_PKCS11_MODULES");
  const fs::path config = root_ / "data" / "Maltrove" / "nodyx-pkcs11.conf";
  fs::create_directories(config.parent_path());
  std::ofstream(config) << "# SoftHSM2 for the tests\n\n/no/such/module.so\n"
                        << FAILING_MODULE << "\n"
                        << SOFTHSM2_MODULE << "\n";
  EXPECT_EQ(DisplayNames(), (std::set<std::string>{"Token A", "Token B"}));
  const std::string modules = Output(std::string(NODYX_ADMIN) + " pkcs11 modules");
  EXPECT_NE(modules.find("/no/such/module.so\tskipped\tcannot be loaded"), std::string::npos) << modules;
  EXPECT_NE(modules.find(std::string(FAILING_MODULE) + "\tskipped\tC_Initialize failed: CKR_DEVICE_ERROR"),
            std::string::npos)
      << modules;
  EXPECT_NE(modules.find(std::string(SOFTHSM2_MODULE) + "\tin use"), std::string::npos) << modules;

  // Whatever this machine registers with p11-kit: enumeration works, and
  // the trust module's certificate-authority tokens are not devices.
  Reopen();
  fs::remove(config);
  for (const auto& name : DisplayNames()) {
    EXPECT_EQ(name.find("Trust"), std::string::npos) << name;
  }
}

}  // namespace
}  // namespace keydepot
