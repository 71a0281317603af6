// The library on PKCS#11 tokens: SoftHSM2 tokens made with softhsm2-util in
// a temporary SOFTHSM2_CONF for each test, next to a software-token device,
// and the stand-in modules of fake_module.c.
#include "keydepot/keydepot.h"
#include "kdplatform/com_object.h"
#include "kdplatform/environment.h"
#include "kdtest/other_user.h"
#include "kdtest/program.h"
#include "kdtest/trust_probe.h"

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

namespace fs = std::filesystem;

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

std::string DisplayName(IAD_Device* device) {
  char name[AD_NAME_BUFFER] = {};
  return SUCCEEDED(device->GetDisplayName(name)) ? name : "?";
}

// Records each event as "+<display name>" (arrived) or "-<display name>".
class Sink final : public kdp::ComObject<Sink, _IAD_DeviceMgrEvents> {
 public:
  HRESULT STDMETHODCALLTYPE DeviceArrived(IAD_Device* device) override { return Note('+', device); }
  HRESULT STDMETHODCALLTYPE DeviceRemoved(IAD_Device* device) override { return Note('-', device); }
  std::vector<std::string> events;

 private:
  HRESULT Note(char event, IAD_Device* device) {
    events.push_back(event + DisplayName(device));
    return S_OK;
  }
};

class Pkcs11Test : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = fs::temp_directory_path() / ("kd-pkcs11-" + std::to_string(::getpid()));
    fs::create_directories(root_ / "tokens");
    std::ofstream(root_ / "softhsm2.conf") << "directories.tokendir = " << (root_ / "tokens").string()
                                           << "\nobjectstore.backend = file\nlog.level = ERROR\n";
    kdp::SetEnvironmentValue("SOFTHSM2_CONF", (root_ / "softhsm2.conf").c_str());
    kdp::SetEnvironmentValue("NODYX_STORE", (root_ / "store").c_str());
    kdp::SetEnvironmentValue("KEYDEPOT_COMMON_APPDATA", (root_ / "data").c_str());
    kdp::SetEnvironmentValue("KEYDEPOT_REGISTRY", (root_ / "registry").c_str());
    kdp::SetEnvironmentValue("NODYX_PKCS11_MODULES", SOFTHSM2_MODULE);
    Run(std::string(SOFTHSM2_UTIL) + " --init-token --free --label 'Token A' --so-pin 0000 --pin 2468");
    Run(std::string(SOFTHSM2_UTIL) + " --init-token --free --label 'Token B' --so-pin 0000 --pin 1357");
  }
  void TearDown() override {
    Reopen();
    fs::remove_all(root_);
  }

  static void Run(const std::string& command) {
    ASSERT_EQ(std::system((command + " >/dev/null").c_str()), 0) << command;
  }

  DWORD Session() {
    if (session_ == 0) session_ = ad::OpenSilentSession(nullptr);
    return session_;
  }
  // Closes the session; the next one loads the modules anew.
  void Reopen() {
    if (session_ != 0) ad::CloseSession(session_);
    session_ = 0;
  }

  // The device path of the attached device with this display name.
  std::string PathOf(const std::string& label) {
    ComPtr<IAD_Device> device;
    std::string path;
    if (SUCCEEDED(ad::FindDeviceByDisplayName(Session(), label.c_str(), device.put()))) {
      EXPECT_EQ(ad::MakeDevicePath(device.get(), path), S_OK);
    }
    return path;
  }

  std::set<std::string> DisplayNames() {
    std::set<std::string> names;
    ComPtr<IAD_EnumDevice> devices;
    EXPECT_EQ(ad::GetDevicesEnum(Session(), devices.put()), S_OK);
    ComPtr<IAD_Device> device;
    for (ULONG fetched = 0; devices && devices->Next(1, device.put(), &fetched) == S_OK;) {
      names.insert(DisplayName(device.get()));
    }
    return names;
  }

  CertInfo Record(const std::string& path, IdentObj* data, const std::string* pin) {
    CertInfo record;
    record.path = path;
    record.data = data;
    record.pin = pin;
    record.session = Session();
    return record;
  }

  fs::path root_;
  DWORD session_ = 0;
};

TEST_F(Pkcs11Test, TokensAreDevicesOfTheirOwnTypeBesideTheSoftToken) {
  Run(std::string(NODYX_ADMIN) + " create soft --type 100 --id 0A0B --display-name Soft");
  EXPECT_EQ(DisplayNames(), (std::set<std::string>{"Soft", "Token A", "Token B"}));
  const std::string a = PathOf("Token A"), b = PathOf("Token B");
  ASSERT_EQ(a.rfind(kTokenPrefix, 0), 0u) << a;
  const std::string id = a.substr(std::strlen(kTokenPrefix), 32);
  EXPECT_EQ(a, kTokenPrefix + id + "\\8|");
  EXPECT_NE(a, b);

  ComPtr<IAD_Device> device;
  ASSERT_EQ(ad::FindDeviceByPath(Session(), a.c_str(), device.put()), S_OK);
  char system[AD_NAME_BUFFER] = {};
  ASSERT_EQ(device->GetSystemName(system), S_OK);
  EXPECT_EQ(std::string(system).rfind("SoftHSM slot ID", 0), 0u) << system;
  device.reset();

  // The identifier comes from the token, not from the module's slot
  // numbering or this process: it is the same after the modules reload.
  Reopen();
  EXPECT_EQ(PathOf("Token A"), a);
  CTOOString full;
  ASSERT_TRUE(MakeFullPath(full, ("\\\\!\\Pkcs11Token\\" + id + "\\k").c_str(), "", ""));
  EXPECT_EQ(std::string(full), a + "k");
  eStorageType type = StorageNone;
  EXPECT_EQ(GetStorageType(a.c_str(), type), S_OK);
  EXPECT_EQ(type, StorageCryptoDevice);  // a software token's slot is no hardware slot

  // A filter that disables the type hides every token.
  std::ofstream(root_ / "filter.xml") << "<deviceTypeFilter version=\"1\"><deviceType number=\"300\" "
                                         "enabled=\"false\"/></deviceTypeFilter>";
  const DWORD filtered = ad::OpenSilentSession((root_ / "filter.xml").c_str(), true);
  ASSERT_NE(filtered, 0u);
  EXPECT_EQ(ad::FindDeviceByPath(filtered, a.c_str(), device.put()), HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(ad::FindDeviceByDisplayName(filtered, "Soft", device.put()), S_OK);
  device.reset();
  ad::CloseSession(filtered);
}

TEST_F(Pkcs11Test, ItemsRoundTripByteForByteOnTheirOwnToken) {
  std::string bytes;
  for (int i = 0; i < 5000; ++i) bytes.push_back(static_cast<char>(i * 131 + 7));  // zeros too; over 4 KiB
  IdentObj data(bytes.data(), static_cast<DWORD>(bytes.size())), loaded, small("x", 1);
  const std::string pinA = "2468", pinB = "1357";
  const std::string onA = PathOf("Token A") + "cert", onB = PathOf("Token B") + "cert";

  CertInfo a = Record(onA, &data, &pinA);
  ASSERT_TRUE(Save(&a)) << KDPGetLastError();
  a.data = &loaded;
  ASSERT_TRUE(Load(&a)) << KDPGetLastError();
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(loaded.pbData), loaded.cbData), bytes);
  EXPECT_TRUE(IsExist(&a));
  CertInfo b = Record(onB, &loaded, &pinB);
  EXPECT_FALSE(IsExist(&b));
  EXPECT_EQ(KDPGetLastError(), 0);

  a.data = &small;  // a write replaces the item
  ASSERT_TRUE(Save(&a));
  a.data = &loaded;
  ASSERT_TRUE(Load(&a));
  EXPECT_EQ(loaded.cbData, 1u);
  EXPECT_EQ(std::string(GetStorageName(onA.c_str())), "Token A");
  EXPECT_EQ(GetDeviceID(onA.c_str()).GetObjectSize(), 16u);
  EXPECT_GT(GetSize(&a), 0u);

  ASSERT_TRUE(Clear(&a));
  EXPECT_FALSE(IsExist(&a));
  EXPECT_FALSE(Load(&a));
  EXPECT_EQ(KDPGetLastError(), HResult2ToolsErr(HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND)));
}

TEST_F(Pkcs11Test, PinIsCheckedByTheToken) {
  IdentObj data("secret", 6);
  const std::string wrong = "1111", right = "2468";
  CertInfo record = Record(PathOf("Token A") + "k", &data, nullptr);
  EXPECT_FALSE(Save(&record));
  EXPECT_EQ(KDPGetLastError(), HResult2ToolsErr(E_ACCESSDENIED));
  record.pin = &wrong;
  EXPECT_FALSE(Save(&record));
  EXPECT_EQ(KDPGetLastError(), HResult2ToolsErr(kWrongPin));
  record.pin = &right;
  EXPECT_TRUE(Save(&record));
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

TEST_F(Pkcs11Test, TokenPulledBetweenTwoCallsAndAnotherInserted) {
  const std::string a = PathOf("Token A");
  auto sink = ComPtr<Sink>::Adopt(new Sink);
  ad::Session interactive(nullptr, sink.get(), true);
  ComPtr<IAD_Device> device;
  ASSERT_EQ(ad::FindDeviceByPath(interactive, a.c_str(), device.put()), S_OK);
  ComPtr<IAD_KeyStorage> storage;
  ASSERT_EQ(device.As(&storage), S_OK);
  ASSERT_EQ(device->PresentPIN("2468"), S_OK);
  DWORD count = 3;
  ASSERT_EQ(storage->Write(device.get(), "k", reinterpret_cast<const BYTE*>("abc"), &count), S_OK);

  Run(std::string(SOFTHSM2_UTIL) + " --delete-token --token 'Token A'");
  EXPECT_EQ(storage->Write(device.get(), "k", reinterpret_cast<const BYTE*>("abc"), &count), kNotReady);
  BOOL exists = TRUE;
  EXPECT_EQ(storage->Exists(device.get(), "k", &exists), kNotReady);
  EXPECT_EQ(DisplayName(device.get()), "Token A");  // names stay readable
  auto* manager = static_cast<IAD_DeviceMgr*>(interactive);
  ASSERT_EQ(manager->Refresh(), S_OK);
  EXPECT_EQ(sink->events, std::vector<std::string>{"-Token A"});
  EXPECT_EQ(ad::FindDeviceByPath(interactive, a.c_str(), device.put()), HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));

  InitFreeToken("Token C");
  ASSERT_EQ(manager->Refresh(), S_OK);
  EXPECT_EQ(sink->events, (std::vector<std::string>{"-Token A", "+Token C"}));
}

TEST_F(Pkcs11Test, ASessionLeftOpenAtExitIsHarmless) {
  // The library drops its shared sessions as it is unloaded at exit, after
  // the module's own exit handlers have run.
  ComPtr<IAD_Device> device;
  ASSERT_EQ(ad::FindDeviceByDisplayName(Session(), "Token A", device.put()), S_OK);
  EXPECT_EQ(device->PresentPIN("2468"), S_OK);
  session_ = 0;  // never closed
}

TEST_F(Pkcs11Test, ModulesThatFailAreSkippedWithTheirReason) {
  kdp::SetEnvironmentValue("NODYX_PKCS11_MODULES",
                           ("/no/such/module.so:" + std::string(FAKE_FAILING_MODULE) + ":" + SOFTHSM2_MODULE).c_str());
  EXPECT_EQ(DisplayNames(), (std::set<std::string>{"Token A", "Token B"}));
  const std::string modules = Output(std::string(NODYX_ADMIN) + " pkcs11 modules");
  EXPECT_NE(modules.find("/no/such/module.so\tskipped\tcannot be loaded"), std::string::npos) << modules;
  EXPECT_NE(modules.find("\tskipped\tC_Initialize failed: CKR_DEVICE_ERROR"), std::string::npos) << modules;
  EXPECT_NE(modules.find(std::string(SOFTHSM2_MODULE) + "\tin use"), std::string::npos) << modules;
}

TEST_F(Pkcs11Test, PinPadTokenLogsInWithoutPinText) {
  kdp::SetEnvironmentValue("NODYX_PKCS11_MODULES", FAKE_PINPAD_MODULE);
  ComPtr<IAD_Device> device;
  ASSERT_EQ(ad::FindDeviceByDisplayName(Session(), "PIN pad", device.put()), S_OK);
  EXPECT_EQ(device->PresentPIN("not for the pad"), S_OK);  // the stand-in refuses any PIN text
  ComPtr<IAD_CryptoDevice> crypto;
  ASSERT_EQ(device.As(&crypto), S_OK);
  int flag = 0;
  EXPECT_EQ(crypto->GetFlag(device.get(), &flag), S_OK);
  EXPECT_EQ(flag, 1);  // a hardware slot
}

TEST_F(Pkcs11Test, ModuleListFromTheConfigFileElseTheSystem) {
  kdp::RemoveEnvironmentValue("NODYX_PKCS11_MODULES");
  const fs::path config = root_ / "data" / "Maltrove" / "nodyx-pkcs11.conf";
  fs::create_directories(config.parent_path());
  std::ofstream(config) << "# SoftHSM2 for the tests\n\n" << SOFTHSM2_MODULE << "\n";
  EXPECT_EQ(DisplayNames(), (std::set<std::string>{"Token A", "Token B"}));

  // Whatever this machine registers: enumeration works, and the trust
  // module's certificate-authority tokens are not devices.
  Reopen();
  fs::remove(config);
  for (const auto& name : DisplayNames()) {
    EXPECT_EQ(name.find("Trust"), std::string::npos) << name;
  }
}

// The finding: a module list that another user wrote into a shared
// folder made under umask 0 ran its module inside root's device listing.
TEST_F(Pkcs11Test, ModuleListAnotherUserWroteNeverRunsItsModule) {
  if (!kdtest::CanBecomeOtherUser()) GTEST_SKIP() << "needs root, to plant the list as another user";
  if (!kdtest::TrustCheckInForce()) GTEST_SKIP() << "kdp::CheckTrusted refuses nothing yet";
  kdp::RemoveEnvironmentValue("NODYX_PKCS11_MODULES");
  const fs::path shared = root_ / "data" / "Maltrove", config = shared / "nodyx-pkcs11.conf";
  fs::create_directories(shared);
  fs::permissions(root_, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec | fs::perms::others_read |
                             fs::perms::others_exec);
  fs::permissions(shared, fs::perms::all);
  ASSERT_TRUE(kdtest::RunAsOtherUser([&] { std::ofstream(config) << FAKE_PINPAD_MODULE << "\n"; }));

  EXPECT_EQ(DisplayNames().count("PIN pad"), 0u);
  EXPECT_FALSE(kdtest::IsModuleLoaded(FAKE_PINPAD_MODULE));
  const std::string listed = Output(std::string(NODYX_ADMIN) + " pkcs11 modules");
  EXPECT_NE(listed.find(config.string() + "\tignored\t"), std::string::npos) << listed;
  EXPECT_EQ(listed.find(std::string(FAKE_PINPAD_MODULE) + "\t"), std::string::npos) << listed;

  // The same list as root's own, in a folder only root may change: it runs.
  Reopen();
  fs::remove(config);
  fs::permissions(shared, fs::perms::others_write | fs::perms::group_write, fs::perm_options::remove);
  std::ofstream(config) << FAKE_PINPAD_MODULE << "\n";
  EXPECT_EQ(DisplayNames().count("PIN pad"), 1u);
}

TEST_F(Pkcs11Test, ContainersAreKeysSharingAnIdentifier) {
  Run("openssl genpkey -algorithm EC -pkeyopt ec_paramgen_curve:P-256 -out " + (root_ / "key.pem").string());
  Run(std::string(SOFTHSM2_UTIL) + " --import " + (root_ / "key.pem").string() +
      " --token 'Token A' --label sig --id 01 --pin 2468");
  const std::string a = PathOf("Token A");
  const std::string location = "\\\\!\\Pkcs11Token\\" + a.substr(std::strlen(kTokenPrefix), 32);
  std::list<std::string> names;
  EXPECT_EQ(ad::GetADContainerNames(Session(), location.c_str(), names, true, false), S_OK);
  EXPECT_EQ(names, std::list<std::string>{a + "sig"});  // the public key shows it before any login
}

}  // namespace
}  // namespace keydepot
