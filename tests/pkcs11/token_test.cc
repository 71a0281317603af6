// PKCS#11 tokens through the library, on every system, on the tokens of the
// test module (module/test_module.h): the test puts cards into readers,
// pulls them and personalises them, while the component loads the module as
// any module, by the absolute path in NODYX_PKCS11_MODULES (on Windows
// through module_loader_windows.cc).
#include "module/test_module.h"
#include "test_certificate.h"
#include "other_user_file.h"
#include "token_fixture.h"

#include "keydepot/ad/pin_status.h"
#include "keydepot/ad/token_objects.h"
#include "kdplatform/module_load.h"
#include "kdplatform/proc_address.h"
#include "kdplatform/win32.h"
#include "kdtest/environment.h"
#include "kdtest/temp_folder.h"
#include "base/result_codes.h"
#include "pkcs11/ck_result.h"
#include "pkcs11/module_list.h"
#include "pkcs11/module_set.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <vector>

namespace keydepot {
namespace {

constexpr HRESULT kWrongPin = HRESULT_FROM_WIN32(86);
constexpr HRESULT kPinLocked = static_cast<HRESULT>(0x8010006Cu);
constexpr HRESULT kNotReady = HRESULT_FROM_WIN32(ERROR_NOT_READY);
constexpr HRESULT kNotFound = HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
constexpr char kTokenPrefix[] = "1|2\\5|300\\17|";

// Token A and B of every test, with the readers they start in.
constexpr CK_ULONG kReaderA = 2, kReaderB = 0;
constexpr char kSerialA[] = "A-0001";
constexpr char kPinA[] = "2468";
constexpr CK_ULONG kTries = 3;

std::string SystemName(IAD_Device* device) {
  char name[AD_NAME_BUFFER] = {};
  return SUCCEEDED(device->GetSystemName(name)) ? name : "?";
}

// The device record of the bytes: their 4-byte little-endian length, then them.
std::string AsRecord(const std::string& bytes) {
  std::string record(4, '\0');
  for (int i = 0; i < 4; ++i) record[i] = static_cast<char>(bytes.size() >> (8 * i));
  return record + bytes;
}

std::string Text(const std::vector<std::uint8_t>& bytes) { return std::string(bytes.begin(), bytes.end()); }

struct PinState {
  DWORD left = 0, limit = 0, flags = 0;
  bool operator==(const PinState&) const = default;
};

void PrintTo(const PinState& s, std::ostream* out) {
  *out << "{left " << s.left << ", limit " << s.limit << ", flags " << s.flags << "}";
}

PinState PinStateOf(IAD_Device* device) {
  ComPtr<IAD_PinStatus> status;
  PinState state;
  EXPECT_EQ(device->QueryInterface(IID_IAD_PinStatus, status.put_void()), S_OK);
  if (status) {
    EXPECT_EQ(status->GetPinStatus(&state.left, &state.limit, &state.flags), S_OK);
  }
  return state;
}

class Pkcs11Test : public TokenFixture {
 protected:
  void SetUp() override {
    // The component trusts a module only in a folder no other user may
    // change; the build tree may lie in one that others may (/tmp, which
    // Wine shows without its sticky bit), so the modules run from copies
    // in the test's own folder.
    ASSERT_TRUE(CopyModule(TEST_MODULE, &testModule_));
    ASSERT_TRUE(CopyModule(FAILING_MODULE, &failingModule_));
    // Loaded before the component loads it, and kept to the end: the tokens
    // outlive the component's loads and unloads of the module.
    module_ = LoadLibraryExA(testModule_.c_str(), nullptr, kdp::kLoadFromOwnFolder);
    ASSERT_NE(module_, nullptr) << testModule_;
    kdtest::SetEnv("NODYX_STORE", folder_ / "store");
    kdtest::SetEnv("KEYDEPOT_COMMON_APPDATA", folder_ / "data");
    kdtest::SetEnv("KEYDEPOT_REGISTRY", folder_ / "registry");
    kdtest::SetEnv("NODYX_PKCS11_MODULES", testModule_);
    // A test before this one in the process may have left its tokens.
    EXPECT_EQ(Control<decltype(&TestModule_Reset)>("TestModule_Reset")(), CKR_OK);
    NewToken(kReaderA, "Token A", kSerialA);
    NewToken(kReaderB, "Token B", "B-0002", "1357");
  }
  void TearDown() override {
    TokenFixture::TearDown();
    if (module_ != nullptr) FreeLibrary(module_);
    std::error_code ignored;
    if (!config_.empty()) std::filesystem::remove(config_, ignored);
  }

  template <class Function>
  Function Control(const char* name) {
    const auto function = kdp::ProcAs<Function>(GetProcAddress(module_, name));
    EXPECT_NE(function, nullptr) << name;
    return function;
  }
  void NewToken(CK_ULONG reader, const char* label, const char* serial, const char* pin = kPinA, CK_FLAGS flags = 0,
                CK_ULONG memory = CK_UNAVAILABLE_INFORMATION) {
    const TestTokenSpec spec{label, serial, pin, flags, kTries, memory};
    EXPECT_EQ(Control<decltype(&TestModule_NewToken)>("TestModule_NewToken")(reader, &spec), CKR_OK);
  }
  void Pull(CK_ULONG reader) { EXPECT_EQ(Control<decltype(&TestModule_Pull)>("TestModule_Pull")(reader), CKR_OK); }
  void Insert(CK_ULONG reader, const char* serial) {
    EXPECT_EQ(Control<decltype(&TestModule_Insert)>("TestModule_Insert")(reader, serial), CKR_OK);
  }
  void AddObject(CK_ULONG reader, std::vector<CK_ATTRIBUTE> attributes) {
    const auto add = Control<decltype(&TestModule_AddObject)>("TestModule_AddObject");
    EXPECT_EQ(add(reader, attributes.data(), static_cast<CK_ULONG>(attributes.size())), CKR_OK);
  }

  // A data object as another program writes it: private, no application.
  void AddData(const char* label, const std::string& value, CK_ULONG reader = kReaderA) {
    CK_OBJECT_CLASS data = CKO_DATA;
    CK_BBOOL yes = CK_TRUE;
    AddObject(reader, {{CKA_CLASS, &data, sizeof data},
                       {CKA_PRIVATE, &yes, sizeof yes},
                       {CKA_LABEL, const_cast<char*>(label), static_cast<CK_ULONG>(std::strlen(label))},
                       {CKA_VALUE, const_cast<char*>(value.data()), static_cast<CK_ULONG>(value.size())}});
  }
  // A key (private, with a label, or public) or a certificate (public) in
  // the container with this one-byte identifier.
  void AddToContainer(CK_OBJECT_CLASS objectClass, CK_BYTE id, const char* label,
                      const std::vector<std::uint8_t>& value = {}) {
    CK_BBOOL yes = CK_TRUE;
    CK_CERTIFICATE_TYPE x509 = CKC_X_509;
    std::vector<CK_ATTRIBUTE> attributes = {{CKA_CLASS, &objectClass, sizeof objectClass}, {CKA_ID, &id, 1}};
    if (label != nullptr) {
      attributes.push_back({CKA_LABEL, const_cast<char*>(label), static_cast<CK_ULONG>(std::strlen(label))});
    }
    if (objectClass == CKO_PRIVATE_KEY) attributes.push_back({CKA_PRIVATE, &yes, sizeof yes});
    if (objectClass == CKO_CERTIFICATE) {
      attributes.push_back({CKA_CERTIFICATE_TYPE, &x509, sizeof x509});
      attributes.push_back({CKA_VALUE, const_cast<std::uint8_t*>(value.data()), static_cast<CK_ULONG>(value.size())});
    }
    AddObject(kReaderA, attributes);
  }
  // The token's device with the PIN accepted, and its item interface.
  void LoggedIn(ComPtr<IAD_Device>* device, ComPtr<IAD_KeyStorage>* storage, const char* label = "Token A") {
    *device = Find(label);
    ASSERT_TRUE(*device);
    ASSERT_EQ((*device)->PresentPIN(kPinA), S_OK);
    ASSERT_EQ(device->As(storage), S_OK);
  }
  // The item read into a buffer of `capacity` bytes: the bytes it holds
  // after the call (all of them when the item did not fit), *count as the
  // call left it.
  static std::string ReadInto(IAD_Device* device, IAD_KeyStorage* storage, const char* name, DWORD capacity,
                              DWORD* count, HRESULT expected = S_OK) {
    std::string buffer(capacity, '?');
    *count = capacity;
    EXPECT_EQ(storage->Read(device, name, capacity != 0 ? reinterpret_cast<BYTE*>(buffer.data()) : nullptr, count),
              expected)
        << name;
    return *count <= capacity ? buffer.substr(0, *count) : buffer;
  }
  static std::string ReadItem(IAD_Device* device, IAD_KeyStorage* storage, const char* name) {
    DWORD count = 0;
    return ReadInto(device, storage, name, 8192, &count);
  }

  // The module list's configuration file, removed at the end. On Windows it
  // lies in the Wine prefix's common application-data folder; no other test
  // reads it, as they all set NODYX_PKCS11_MODULES.
  std::string ConfigFile() {
    config_ = nodyx::pkcs11::ModuleConfigPath();
    EXPECT_FALSE(config_.empty());
    std::filesystem::create_directories(std::filesystem::path(config_).parent_path());
    return config_;
  }

  bool CopyModule(const std::string& built, std::string* copy) {
    *copy = folder_ / std::filesystem::path(built).filename().string();
    std::error_code error;
    std::filesystem::copy_file(built, *copy, error);
    EXPECT_FALSE(error) << built << ": " << error.message();
    return !error;
  }

  kdtest::TempFolder folder_;
  std::string testModule_, failingModule_;
  HMODULE module_ = nullptr;
  std::string config_;
};

TEST_F(Pkcs11Test, TokensAreDevicesNamedByTheCardWhicheverReaderHoldsIt) {
  EXPECT_EQ(DisplayNames(), (std::set<std::string>{"Token A", "Token B"}));
  const std::string a = PathOf("Token A"), b = PathOf("Token B");
  ASSERT_EQ(a.rfind(kTokenPrefix, 0), 0u) << a;
  const std::string id = a.substr(std::strlen(kTokenPrefix), 32);
  EXPECT_EQ(a, kTokenPrefix + id + "\\8|");
  EXPECT_NE(a, b);
  EXPECT_EQ(SystemName(Find("Token A").get()), "keydepot test reader 2");

  // The card in another reader, with the modules loaded anew: the same
  // device, now in that reader.
  Reopen();
  Pull(kReaderA);
  Insert(3, kSerialA);
  EXPECT_EQ(PathOf("Token A"), a);
  EXPECT_EQ(SystemName(Find("Token A").get()), "keydepot test reader 3");
  CTOOString full;
  ASSERT_TRUE(MakeFullPath(full, ("\\\\!\\Pkcs11Token\\" + id + "\\k").c_str(), "", ""));
  EXPECT_EQ(std::string(full), a + "k");
  eStorageType type = StorageNone;
  EXPECT_EQ(GetStorageType(a.c_str(), type), S_OK);
  EXPECT_EQ(type, StorageCryptoDeviceFlagged);  // a reader is a hardware slot

  // A filter that disables the type hides every token.
  const std::string filter = folder_ / "filter.xml";
  std::ofstream(filter) << "<deviceTypeFilter version=\"1\"><deviceType number=\"300\" "
                           "enabled=\"false\"/></deviceTypeFilter>";
  const DWORD filtered = ad::OpenSilentSession(filter.c_str(), true);
  ASSERT_NE(filtered, 0u);
  ComPtr<IAD_Device> device;
  EXPECT_EQ(ad::FindDeviceByPath(filtered, a.c_str(), device.put()), kNotFound);
  EXPECT_EQ(DisplayNames(filtered), std::set<std::string>{});
  ad::CloseSession(filtered);
}

TEST_F(Pkcs11Test, ItemsRoundTripByteForByteOnTheirOwnToken) {
  std::string bytes;
  for (int i = 0; i < 5000; ++i) bytes.push_back(static_cast<char>(i * 131 + 7));  // zeros too; over 4 KiB
  IdentObj data(bytes.data(), static_cast<DWORD>(bytes.size())), loaded, small("x", 1);
  const std::string pinA = kPinA, pinB = "1357";
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
  EXPECT_EQ(KDPGetLastError(), HResult2ToolsErr(kNotFound));
}

// The token holds an item's bytes alone, so other programs read them as
// they are; callers of the device still deal in records, and items stored
// with the length in front (before values were stored bare) read as before.
TEST_F(Pkcs11Test, ItemValuesAreTheBytesAloneAndReadAsRecords) {
  AddData("foreign", "written by another program");
  AddData("old", AsRecord("stored with its length"));
  AddData("empty", "");
  ComPtr<IAD_Device> device;
  ComPtr<IAD_KeyStorage> storage;
  ASSERT_NO_FATAL_FAILURE(LoggedIn(&device, &storage));
  EXPECT_EQ(ReadItem(device.get(), storage.get(), "foreign"), AsRecord("written by another program"));
  EXPECT_EQ(ReadItem(device.get(), storage.get(), "old"), AsRecord("stored with its length"));
  EXPECT_EQ(ReadItem(device.get(), storage.get(), "empty"), AsRecord(""));

  // Records are stored bare; bytes that are no record as given; a record of
  // a record whole, so that it reads back unchanged.
  for (const std::string& written :
       {AsRecord("payload"), std::string("abc"), AsRecord(AsRecord("nested")), AsRecord("")}) {
    DWORD count = static_cast<DWORD>(written.size());
    ASSERT_EQ(storage->Write(device.get(), "k", reinterpret_cast<const BYTE*>(written.data()), &count), S_OK);
    const std::string expected = written == "abc" ? AsRecord("abc") : written;
    EXPECT_EQ(ReadItem(device.get(), storage.get(), "k"), expected);
  }

  // Buffers too small: a size that fits the record, and nothing of the
  // item left in the buffer; then the record whole.
  DWORD count = 0;
  ReadInto(device.get(), storage.get(), "foreign", 0, &count);
  EXPECT_EQ(count, 30u);
  EXPECT_EQ(ReadInto(device.get(), storage.get(), "foreign", 29, &count), std::string(29, '\0'));
  EXPECT_EQ(count, 30u);
  EXPECT_EQ(ReadInto(device.get(), storage.get(), "foreign", 30, &count), AsRecord("written by another program"));
  // A stored record fits a buffer of its own size; one byte less is asked
  // again with more (nothing copied), and then it is still the stored record.
  EXPECT_EQ(ReadInto(device.get(), storage.get(), "old", 26, &count), AsRecord("stored with its length"));
  EXPECT_EQ(ReadInto(device.get(), storage.get(), "old", 25, &count), std::string(25, '?'));
  EXPECT_EQ(count, 30u);
  EXPECT_EQ(ReadInto(device.get(), storage.get(), "old", 30, &count), AsRecord("stored with its length"));
  // What the library makes of the records (Load the bytes, LoadVpn2Pass the
  // record) is the storage layer's: DeviceStorageTest.DevicePathsStoreInTheNamedContainer.
}

// A key container with a certificate is an item: the certificate's DER.
// Keys are never read; a data object of the same name comes first.
TEST_F(Pkcs11Test, CertificateOfAContainerIsAnItemAndKeysNeverAre) {
  const auto der = test::Certificate();
  AddToContainer(CKO_PRIVATE_KEY, 1, "web");
  AddToContainer(CKO_CERTIFICATE, 1, nullptr, der);
  AddToContainer(CKO_PRIVATE_KEY, 2, "sig");
  AddToContainer(CKO_PUBLIC_KEY, 2, "sig");
  AddData("item", "bytes");
  ComPtr<IAD_Device> device;
  ComPtr<IAD_KeyStorage> storage;
  ASSERT_NO_FATAL_FAILURE(LoggedIn(&device, &storage));
  EXPECT_EQ(ReadItem(device.get(), storage.get(), "web"), AsRecord(Text(der)));
  BOOL exists = FALSE;
  EXPECT_EQ(storage->Exists(device.get(), "web", &exists), S_OK);
  EXPECT_TRUE(exists);
  EXPECT_EQ(storage->Exists(device.get(), "sig", &exists), S_OK);
  EXPECT_FALSE(exists);
  DWORD count = 0;
  EXPECT_EQ(ReadInto(device.get(), storage.get(), "sig", 4096, &count, static_cast<HRESULT>(0x8009000Bu)),
            std::string(4096, '?'));
  std::vector<std::string> items;
  ComPtr<IAD_EnumStorageItems> listed;
  ASSERT_EQ(storage->EnumItems(listed.put()), S_OK);
  ComPtr<IAD_StorageItem> item;
  char name[AD_NAME_BUFFER];
  for (ULONG fetched = 0; listed->Next(1, item.put(), &fetched) == S_OK;) {
    ASSERT_EQ(item->GetName(name), S_OK);
    items.push_back(name);
  }
  EXPECT_EQ(items, (std::vector<std::string>{"item", "web"}));

  // A data object named as the container is read first; deleting the item
  // deletes it, then the certificate, never the key.
  AddData("web", "data first");
  EXPECT_EQ(ReadItem(device.get(), storage.get(), "web"), AsRecord("data first"));
  ASSERT_EQ(storage->Delete(device.get(), "web"), S_OK);
  EXPECT_EQ(ReadItem(device.get(), storage.get(), "web"), AsRecord(Text(der)));
  ASSERT_EQ(storage->Delete(device.get(), "web"), S_OK);
  ReadInto(device.get(), storage.get(), "web", 4096, &count, static_cast<HRESULT>(0x8009000Bu));
  EXPECT_EQ(storage->Delete(device.get(), "web"), kNotFound);
  EXPECT_EQ(storage->Delete(device.get(), "sig"), kNotFound);
}

TEST_F(Pkcs11Test, CertificateWrittenAsACertificateObject) {
  const auto der = test::Certificate();
  const auto device = Find("Token A");
  ComPtr<IAD_TokenObjects> objects;
  ASSERT_EQ(device->QueryInterface(IID_IAD_TokenObjects, objects.put_void()), S_OK);
  const auto count = static_cast<DWORD>(der.size());
  EXPECT_EQ(objects->WriteCertificate("web", der.data(), count), E_ACCESSDENIED);
  ComPtr<IAD_Device> same;
  ComPtr<IAD_KeyStorage> storage;
  ASSERT_NO_FATAL_FAILURE(LoggedIn(&same, &storage));
  ASSERT_EQ(same->QueryInterface(IID_IAD_TokenObjects, objects.put_void()), S_OK);
  constexpr auto kNotACertificate = static_cast<HRESULT>(0x8009310Bu);
  EXPECT_EQ(objects->WriteCertificate("web", der.data(), count - 1), kNotACertificate);
  EXPECT_EQ(objects->WriteCertificate("web", reinterpret_cast<const BYTE*>("text"), 4), kNotACertificate);
  EXPECT_EQ(objects->WriteCertificate("a/b", der.data(), count), E_INVALIDARG);

  // It replaces a data item of that name, and is a container before a login.
  DWORD written = 3;
  ASSERT_EQ(storage->Write(same.get(), "web", reinterpret_cast<const BYTE*>("old"), &written), S_OK);
  ASSERT_EQ(objects->WriteCertificate("web", der.data(), count), S_OK);
  EXPECT_EQ(ReadItem(same.get(), storage.get(), "web"), AsRecord(Text(der)));
  ASSERT_EQ(objects->WriteCertificate("web", der.data(), count), S_OK);
  ASSERT_EQ(storage->Delete(same.get(), "web"), S_OK);  // one certificate, not two
  BOOL exists = TRUE;
  EXPECT_EQ(storage->Exists(same.get(), "web", &exists), S_OK);
  EXPECT_FALSE(exists);
  ASSERT_EQ(objects->WriteCertificate("web", der.data(), count), S_OK);
  Reopen();
  const std::string a = PathOf("Token A");
  std::list<std::string> names;
  const std::string location = "\\\\!\\Pkcs11Token\\" + a.substr(std::strlen(kTokenPrefix), 32);
  EXPECT_EQ(ad::GetADContainerNames(Session(), location.c_str(), names, true, false), S_OK);
  EXPECT_EQ(names, std::list<std::string>{a + "web"});
}

// What keydepot show tells of a container's keys: class, type, size, usage
// and whether they may leave the token; private keys only after a login.
TEST_F(Pkcs11Test, KeyObjectsOfAContainerAreDescribedNeverRead) {
  CK_OBJECT_CLASS privateKey = CKO_PRIVATE_KEY, publicKey = CKO_PUBLIC_KEY;
  CK_KEY_TYPE rsa = CKK_RSA, ec = CKK_EC;
  CK_BBOOL yes = CK_TRUE, no = CK_FALSE;
  CK_ULONG bits = 2048;
  CK_BYTE id = 7, modulus[129] = {0x00, 0x0F};  // a leading zero, then 1020 bits
  char label[] = "pair";
  AddObject(kReaderA, {{CKA_CLASS, &privateKey, sizeof privateKey},
                       {CKA_PRIVATE, &yes, sizeof yes},
                       {CKA_ID, &id, 1},
                       {CKA_LABEL, label, 4},
                       {CKA_KEY_TYPE, &rsa, sizeof rsa},
                       {CKA_MODULUS, modulus, sizeof modulus},
                       {CKA_SIGN, &yes, sizeof yes},
                       {CKA_UNWRAP, &yes, sizeof yes},
                       {CKA_DECRYPT, &no, sizeof no},
                       {CKA_SENSITIVE, &yes, sizeof yes},
                       {CKA_EXTRACTABLE, &no, sizeof no}});
  AddObject(kReaderA, {{CKA_CLASS, &publicKey, sizeof publicKey},
                       {CKA_ID, &id, 1},
                       {CKA_KEY_TYPE, &rsa, sizeof rsa},
                       {CKA_MODULUS_BITS, &bits, sizeof bits},
                       {CKA_VERIFY, &yes, sizeof yes}});
  CK_BYTE other = 8, p384[] = {0x06, 0x05, 0x2B, 0x81, 0x04, 0x00, 0x22};
  AddObject(kReaderA, {{CKA_CLASS, &publicKey, sizeof publicKey},
                       {CKA_ID, &other, 1},
                       {CKA_KEY_TYPE, &ec, sizeof ec},
                       {CKA_EC_PARAMS, p384, sizeof p384}});
  const auto device = Find("Token A");
  ComPtr<IAD_TokenObjects> objects;
  ASSERT_EQ(device->QueryInterface(IID_IAD_TokenObjects, objects.put_void()), S_OK);
  const auto keysOf = [&](const char* name) {
    DWORD count = 0;
    EXPECT_EQ(objects->GetKeyObjects(name, &count, nullptr), S_OK);
    std::vector<AD_KeyObject> keys(count);
    EXPECT_EQ(objects->GetKeyObjects(name, &count, keys.data()), S_OK);
    keys.resize(count);
    return keys;
  };
  // Before a login only the public key; the container is then named "07".
  auto keys = keysOf("07");
  ASSERT_EQ(keys.size(), 1u);
  EXPECT_EQ(keys[0].objectClass, CKO_PUBLIC_KEY);
  EXPECT_EQ(keys[0].bits, 2048u);
  EXPECT_EQ(keys[0].usage, AD_KEY_USE_VERIFY);
  EXPECT_TRUE(keysOf("pair").empty());
  ASSERT_EQ(device->PresentPIN(kPinA), S_OK);
  keys = keysOf("pair");
  ASSERT_EQ(keys.size(), 2u);
  EXPECT_EQ(keys[0].objectClass, CKO_PRIVATE_KEY);
  EXPECT_EQ(keys[0].keyType, CKK_RSA);
  EXPECT_EQ(keys[0].bits, 1020u);  // from the modulus, as a private key keeps no CKA_MODULUS_BITS
  EXPECT_EQ(keys[0].usage, AD_KEY_USE_SIGN | AD_KEY_USE_UNWRAP);
  EXPECT_EQ(keys[0].flags, AD_KEY_SENSITIVE | AD_KEY_PRIVATE);
  EXPECT_EQ(keys[1].objectClass, CKO_PUBLIC_KEY);
  keys = keysOf("08");
  ASSERT_EQ(keys.size(), 1u);
  EXPECT_EQ(keys[0].bits, 384u);
  EXPECT_TRUE(keysOf("none").empty());
  DWORD count = 1;
  AD_KeyObject one{};
  EXPECT_EQ(objects->GetKeyObjects("pair", &count, &one), S_OK);  // too small: the count, nothing copied
  EXPECT_EQ(count, 2u);
  EXPECT_EQ(one.objectClass, 0u);
}

TEST_F(Pkcs11Test, WrongPinsCountDownToALockAndTheDeviceTellsSo) {
  IdentObj data("secret", 6);
  const std::string wrong = "1111", right = kPinA;
  const std::string path = PathOf("Token A") + "k";
  CertInfo record = Record(path, &data, nullptr);
  EXPECT_FALSE(Save(&record));
  EXPECT_EQ(KDPGetLastError(), HResult2ToolsErr(E_ACCESSDENIED));
  record.pin = &wrong;
  EXPECT_FALSE(Save(&record));
  EXPECT_EQ(KDPGetLastError(), HResult2ToolsErr(kWrongPin));
  constexpr DWORD kUnknown = AD_PIN_TRIES_UNKNOWN;
  EXPECT_EQ(PinStateOf(Find("Token A").get()), (PinState{kUnknown, kUnknown, AD_PIN_COUNT_LOW}));
  record.pin = &right;
  EXPECT_TRUE(Save(&record));  // and the count starts again
  EXPECT_EQ(PinStateOf(Find("Token A").get()), (PinState{kUnknown, kUnknown, 0}));

  // Three wrong PINs in a row: the token tells of the final try, then locks.
  // Reading the state costs no try and needs no PIN.
  {
    const auto device = Find("Token A");
    EXPECT_EQ(device->PresentPIN("1111"), kWrongPin);
    EXPECT_EQ(device->PresentPIN("1112"), kWrongPin);
    EXPECT_EQ(PinStateOf(device.get()), (PinState{1, kUnknown, AD_PIN_COUNT_LOW | AD_PIN_FINAL_TRY}));
    EXPECT_EQ(PinStateOf(device.get()), (PinState{1, kUnknown, AD_PIN_COUNT_LOW | AD_PIN_FINAL_TRY}));
    EXPECT_EQ(device->PresentPIN("1113"), kWrongPin);
    EXPECT_EQ(PinStateOf(device.get()), (PinState{0, kUnknown, AD_PIN_COUNT_LOW | AD_PIN_LOCKED}));
    EXPECT_EQ(device->PresentPIN(kPinA), kPinLocked);
  }
  EXPECT_FALSE(Save(&record));
  EXPECT_EQ(KDPGetLastError(), HResult2ToolsErr(kPinLocked));
  // The other token counts its own tries.
  EXPECT_EQ(PinStateOf(Find("Token B").get()), (PinState{kUnknown, kUnknown, 0}));
}

// Each way a token can fail an operation has a code of its own, so that a
// busy token is never taken for a missing one, nor a fault for a removal.
// (A wrong or locked PIN, a busy or full token reach theirs through the
// token cases below; these are the codes that the component may answer
// for the module, or that no case makes the module return.)
TEST(CkResultTest, DeviceFailuresKeepTheirOwnCodes) {
  using nodyx::pkcs11::HresultFromCkr;
  EXPECT_EQ(HresultFromCkr(CKR_OPERATION_ACTIVE), nodyx::kDeviceBusy);
  EXPECT_EQ(HresultFromCkr(CKR_OBJECT_HANDLE_INVALID), nodyx::kDeviceBusy);  // changed by another program
  EXPECT_EQ(HresultFromCkr(CKR_DEVICE_ERROR), nodyx::kDeviceError);
  EXPECT_EQ(HresultFromCkr(CKR_DEVICE_REMOVED), nodyx::kDeviceNotReady);
  EXPECT_EQ(HresultFromCkr(CKR_PIN_EXPIRED), nodyx::kPinExpired);
  EXPECT_EQ(HresultFromCkr(CKR_USER_NOT_LOGGED_IN), nodyx::kPinRequired);
  // The rest keeps the PKCS#11 code readable.
  EXPECT_EQ(HresultFromCkr(CKR_GENERAL_ERROR), static_cast<HRESULT>(0x80041005u));
}

TEST_F(Pkcs11Test, BusyTokenIsStillFoundAndSaysBusy) {
  const auto busy = Control<decltype(&TestModule_Busy)>("TestModule_Busy");
  // A token that fails to tell its information for a moment, as SoftHSM2
  // does while another process writes its files, is still a device.
  ASSERT_EQ(busy(kReaderA, CKR_GENERAL_ERROR, 3, 0), CKR_OK);
  EXPECT_EQ(DisplayNames(), (std::set<std::string>{"Token A", "Token B"}));
  // One that keeps failing is left out after a bounded wait.
  Reopen();
  ASSERT_EQ(busy(kReaderA, CKR_GENERAL_ERROR, 1000, 0), CKR_OK);
  EXPECT_EQ(DisplayNames(), (std::set<std::string>{"Token B"}));
  ASSERT_EQ(busy(kReaderA, CKR_OK, 0, 0), CKR_OK);

  // All its sessions taken by others: found, and busy rather than gone; it
  // works once a session is free.
  Reopen();
  const auto device = Find("Token A");
  ASSERT_TRUE(device);
  ASSERT_EQ(busy(kReaderA, CKR_SESSION_COUNT, 0, 1), CKR_OK);
  EXPECT_EQ(device->PresentPIN(kPinA), nodyx::kDeviceBusy);
  EXPECT_EQ(device->PresentPIN(kPinA), S_OK);
}

TEST_F(Pkcs11Test, TokenPulledBetweenTwoCallsAndAnotherPutIntoItsReader) {
  const std::string a = PathOf("Token A");
  auto sink = ComPtr<EventRecorder>::Adopt(new EventRecorder);
  ad::Session interactive(nullptr, sink.get(), true);
  ComPtr<IAD_Device> device;
  ComPtr<IAD_KeyStorage> storage;
  ASSERT_NO_FATAL_FAILURE(DeviceInUse(interactive, a, kPinA, &device, &storage));
  DWORD count = 3;

  Pull(kReaderA);
  EXPECT_EQ(storage->Write(device.get(), "k", reinterpret_cast<const BYTE*>("abc"), &count), kNotReady);
  BOOL exists = TRUE;
  EXPECT_EQ(storage->Exists(device.get(), "k", &exists), kNotReady);
  EXPECT_EQ(device->PresentPIN(kPinA), kNotReady);
  EXPECT_EQ(DisplayName(device.get()), "Token A");  // names stay readable
  auto* manager = static_cast<IAD_DeviceMgr*>(interactive);
  ASSERT_EQ(manager->Refresh(), S_OK);
  EXPECT_EQ(sink->events, std::vector<std::string>{"-Token A"});
  ComPtr<IAD_Device> gone;
  EXPECT_EQ(ad::FindDeviceByPath(interactive, a.c_str(), gone.put()), kNotFound);

  // Another card with the same PIN in the same reader is not Token A: the
  // old device writes nothing onto it.
  NewToken(kReaderA, "Token C", "C-0003");
  EXPECT_EQ(device->PresentPIN(kPinA), kNotReady);
  EXPECT_EQ(storage->Write(device.get(), "k", reinterpret_cast<const BYTE*>("abc"), &count), kNotReady);
  ASSERT_EQ(manager->Refresh(), S_OK);
  EXPECT_EQ(sink->events, (std::vector<std::string>{"-Token A", "+Token C"}));
  const auto c = Find("Token C");
  ASSERT_EQ(c->PresentPIN(kPinA), S_OK);
  ASSERT_EQ(c.As(&storage), S_OK);
  EXPECT_EQ(storage->Exists(c.get(), "k", &exists), S_OK);
  EXPECT_FALSE(exists);
}

TEST_F(Pkcs11Test, CardPutBackHasItsItemsAndWantsThePinAgain) {
  const std::string pin = kPinA;
  IdentObj data("kept", 4), loaded;
  CertInfo record = Record(PathOf("Token A") + "k", &data, &pin);
  ASSERT_TRUE(Save(&record));
  ComPtr<IAD_Device> device;
  ComPtr<IAD_KeyStorage> storage;
  ASSERT_NO_FATAL_FAILURE(LoggedIn(&device, &storage));

  Pull(kReaderA);
  BOOL exists = FALSE;
  EXPECT_EQ(storage->Exists(device.get(), "k", &exists), kNotReady);
  Insert(kReaderA, kSerialA);
  // The login went with the card; this object's session is over.
  EXPECT_EQ(storage->Exists(device.get(), "k", &exists), E_ACCESSDENIED);
  ASSERT_EQ(device->PresentPIN(kPinA), S_OK);
  EXPECT_EQ(storage->Exists(device.get(), "k", &exists), S_OK);
  EXPECT_TRUE(exists);
  record.data = &loaded;
  ASSERT_TRUE(Load(&record)) << KDPGetLastError();
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(loaded.pbData), loaded.cbData), "kept");
}

// The token stays logged in while any session of the process is (another
// device object of the same token, here): a device object that has not had
// a PIN accepted itself still reads, tests and lists no item.
TEST_F(Pkcs11Test, AnotherDeviceObjectsLoginOpensNoItemsOfThisOne) {
  AddData("private", "secret bytes");
  ComPtr<IAD_Device> first;
  ComPtr<IAD_KeyStorage> firstStorage;
  ASSERT_NO_FATAL_FAILURE(LoggedIn(&first, &firstStorage));
  EXPECT_EQ(ReadItem(first.get(), firstStorage.get(), "private"), AsRecord("secret bytes"));

  const auto second = Find("Token A");
  ASSERT_TRUE(second);
  ASSERT_NE(second.get(), first.get());
  ComPtr<IAD_KeyStorage> storage;
  ASSERT_EQ(second.As(&storage), S_OK);
  DWORD count = 0;
  const std::string left = ReadInto(second.get(), storage.get(), "private", 64, &count, nodyx::kPinRequired);
  EXPECT_EQ(left.find("secret"), std::string::npos);
  BOOL exists = TRUE;
  EXPECT_EQ(storage->Exists(second.get(), "private", &exists), nodyx::kPinRequired);
  EXPECT_FALSE(exists);
  ComPtr<IAD_EnumStorageItems> items;
  EXPECT_EQ(storage->EnumItems(items.put()), nodyx::kPinRequired);

  ASSERT_EQ(second->PresentPIN(kPinA), S_OK);
  EXPECT_EQ(ReadItem(second.get(), storage.get(), "private"), AsRecord("secret bytes"));
}

TEST_F(Pkcs11Test, FullTokenRefusesAWriteAndKeepsTheOldItem) {
  NewToken(1, "Small", "S-0004", kPinA, 0, 100);
  ComPtr<IAD_Device> device;
  ComPtr<IAD_KeyStorage> storage;
  ASSERT_NO_FATAL_FAILURE(LoggedIn(&device, &storage, "Small"));
  DWORD size = 0, room = 0;
  EXPECT_EQ(device->GetSizeValue(&size), S_OK);
  EXPECT_EQ(size, 100u);
  const std::string old(60, 'o'), larger(70, 'n');
  DWORD count = static_cast<DWORD>(old.size());
  ASSERT_EQ(storage->Write(device.get(), "k", reinterpret_cast<const BYTE*>(old.data()), &count), S_OK);
  EXPECT_EQ(device->GetRoom(&room), S_OK);
  EXPECT_EQ(room, 40u);

  // The new bytes are written before the old ones go: they do not fit.
  count = static_cast<DWORD>(larger.size());
  EXPECT_EQ(storage->Write(device.get(), "k", reinterpret_cast<const BYTE*>(larger.data()), &count),
            HRESULT_FROM_WIN32(ERROR_DISK_FULL));
  EXPECT_EQ(ReadItem(device.get(), storage.get(), "k"), AsRecord(old));
  EXPECT_EQ(device->GetRoom(&room), S_OK);
  EXPECT_EQ(room, 40u);
}

TEST_F(Pkcs11Test, WriteProtectedTokenIsReadInAReadOnlySession) {
  NewToken(1, "Locked down", "W-0005", kPinA, CKF_WRITE_PROTECTED);
  const char value[] = "by the issuer";
  AddData("issued", value, 1);
  ComPtr<IAD_Device> device;
  ComPtr<IAD_KeyStorage> storage;
  ASSERT_NO_FATAL_FAILURE(LoggedIn(&device, &storage, "Locked down"));
  EXPECT_EQ(ReadItem(device.get(), storage.get(), "issued"), AsRecord(value));
  DWORD count = 1;
  EXPECT_EQ(storage->Write(device.get(), "new", reinterpret_cast<const BYTE*>("x"), &count), HRESULT_FROM_WIN32(19));
  EXPECT_EQ(storage->Delete(device.get(), "issued"), HRESULT_FROM_WIN32(19));
}

TEST_F(Pkcs11Test, ContainersAreKeysSharingAnIdentifier) {
  AddToContainer(CKO_PRIVATE_KEY, 1, "sig");
  AddToContainer(CKO_PUBLIC_KEY, 1, "sig public");
  AddToContainer(CKO_CERTIFICATE, 2, nullptr);
  AddToContainer(CKO_PRIVATE_KEY, 3, "auth");
  AddData("item", "");  // an item, never a container
  const std::string a = PathOf("Token A");
  const std::string location = "\\\\!\\Pkcs11Token\\" + a.substr(std::strlen(kTokenPrefix), 32);

  // Before a login: the public key names its container, a certificate
  // without a label is named by its identifier; private keys are unseen.
  std::list<std::string> names;
  EXPECT_EQ(ad::GetADContainerNames(Session(), location.c_str(), names, true, false), S_OK);
  EXPECT_EQ(names, (std::list<std::string>{a + "02", a + "sig public"}));

  // After one, the private key's label names the container it shares.
  const auto device = Find("Token A");
  ASSERT_EQ(device->PresentPIN(kPinA), S_OK);
  ComPtr<IAD_CryptoDevice> crypto;
  ASSERT_EQ(device.As(&crypto), S_OK);
  ComPtr<IAD_EnumContainers> containers;
  ASSERT_EQ(crypto->EnumContainers(device.get(), containers.put()), S_OK);
  std::vector<std::string> listed;
  ComPtr<IAD_Container> container;
  for (ULONG fetched = 0; containers->Next(1, container.put(), &fetched) == S_OK;) {
    char name[AD_NAME_BUFFER] = {};
    ASSERT_EQ(container->GetName(name), S_OK);
    listed.push_back(name);
  }
  EXPECT_EQ(listed, (std::vector<std::string>{"02", "auth", "sig"}));
}

TEST_F(Pkcs11Test, PinPadTokenLogsInWithoutPinText) {
  NewToken(1, "PIN pad", "P-0006", "", CKF_PROTECTED_AUTHENTICATION_PATH);
  const auto device = Find("PIN pad");
  EXPECT_EQ(device->PresentPIN("not for the pad"), S_OK);  // the module refuses any PIN text
  ComPtr<IAD_CryptoDevice> crypto;
  ASSERT_EQ(device.As(&crypto), S_OK);
  int flag = 0;
  EXPECT_EQ(crypto->GetFlag(device.get(), &flag), S_OK);
  EXPECT_EQ(flag, 1);  // a hardware slot
  ComPtr<IAD_KeyStorage> storage;
  ASSERT_EQ(device.As(&storage), S_OK);
  BOOL exists = TRUE;
  EXPECT_EQ(storage->Exists(device.get(), "k", &exists), S_OK);
}

TEST_F(Pkcs11Test, ASessionLeftOpenAtExitIsHarmless) {
  // The library drops its shared sessions as it is unloaded at exit, after
  // the module's own static objects may be gone: no call may reach it then.
  EXPECT_EQ(Find("Token A")->PresentPIN(kPinA), S_OK);
  session_ = 0;  // never closed
}

// The two lists the component reads: NODYX_PKCS11_MODULES, else the
// configuration file in the shared data folder. What cannot be used is
// skipped with its reason; the rest is used.
TEST_F(Pkcs11Test, ModuleListFromTheVariableElseTheConfigFileSkipsWhatFails) {
  const std::string missing = folder_ / "missing.module";
  const std::vector<std::string> modules{missing, failingModule_, "relative.module", testModule_};
  // Where the list came from and each module's status, as `nodyx-admin
  // pkcs11 modules` prints them (the reason a file cannot be loaded is the
  // system's own words, left out).
  const auto listed = [&] {
    EXPECT_EQ(DisplayNames(), (std::set<std::string>{"Token A", "Token B"}));
    Reopen();
    const auto set = nodyx::pkcs11::ModuleSet::Acquire();
    std::vector<std::string> lines{set->origin()};
    for (const auto& status : set->statuses()) {
      std::string reason = status.reason;
      if (reason.rfind("cannot be loaded: ", 0) == 0) reason = "cannot be loaded";
      lines.push_back(status.name + ": " + reason);
    }
    return lines;
  };
  const auto expected = [&](const std::string& origin) {
    return std::vector<std::string>{origin, missing + ": cannot be loaded",
                                    failingModule_ + ": C_Initialize failed: CKR_DEVICE_ERROR (0x30)",
                                    "relative.module: not an absolute path", testModule_ + ": "};
  };

  std::string variable;
  for (const auto& module : modules) variable += module + nodyx::pkcs11::kModuleListSeparator;
  kdtest::SetEnv("NODYX_PKCS11_MODULES", variable);
  EXPECT_EQ(listed(), expected("NODYX_PKCS11_MODULES"));

  const std::string config = ConfigFile();
  std::ofstream file(config);
  file << "# modules for the tests\n\n";
  for (const auto& module : modules) file << module << "\n";
  file.close();
  kdtest::UnsetEnv("NODYX_PKCS11_MODULES");
  EXPECT_EQ(listed(), expected(config));
}

// A module list that another user could have written never runs its
// modules inside this process (root's, a service's): it is ignored, and the
// module set says so.
TEST_F(Pkcs11Test, ModuleListAnotherUserWroteNeverRunsItsModule) {
  const std::string config = ConfigFile();
  std::string skip;
  const bool written = WriteAsOtherUser(config, testModule_ + "\n", &skip);
  if (!skip.empty()) GTEST_SKIP() << skip;
  ASSERT_TRUE(written);
  kdtest::UnsetEnv("NODYX_PKCS11_MODULES");
  EXPECT_EQ(DisplayNames().count("Token A"), 0u);
  Reopen();
  const auto set = nodyx::pkcs11::ModuleSet::Acquire();
  ASSERT_TRUE(set->ignored().has_value());
  EXPECT_EQ(set->ignored()->path, config);
  for (const auto& status : set->statuses()) EXPECT_NE(status.name, testModule_);
}

}  // namespace
}  // namespace keydepot
