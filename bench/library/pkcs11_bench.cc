// keydepot::Save and keydepot::Load of a 4 KiB item on a SoftHSM2 token,
// set against the PKCS#11 calls an application would make for the same
// work itself, in the same run.
//
// What each side does per operation:
//  - keydepot: finds the device among the session's devices (slot list and
//    token information of every slot), opens a session of the device
//    object, logs in, then Save finds the old data object, creates the new
//    one and destroys the old one; Load finds the object and reads its
//    value (twice: the record does not fit the first 4 KiB buffer); the
//    device's release closes the session.
//  - direct: what an application doing the same job itself would call on a
//    module loaded once through p11-kit: find the token by its serial
//    number (C_GetSlotList, C_GetTokenInfo of each slot up to the one),
//    C_OpenSession, C_Login, the same object calls, C_CloseSession.
#include "bench_environment.h"
#include "ratio_reporter.h"

#include <keydepot/keydepot.h>

#include <p11-kit/p11-kit.h>
#include <p11-kit/pkcs11.h>

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

namespace {

constexpr long kItemBytes = 4 * 1024;
constexpr char kPin[] = "2468";
constexpr char kLabel[] = "bench";

std::vector<unsigned char> Payload() {
  std::vector<unsigned char> bytes(kItemBytes);
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<unsigned char>(i * 131 + 7);
  return bytes;
}

// ---- direct PKCS#11 -----------------------------------------------------

class Direct {
 public:
  Direct() : f_(p11_kit_module_load(SOFTHSM2_MODULE, 0)) {
    CK_C_INITIALIZE_ARGS args{};
    args.flags = CKF_OS_LOCKING_OK;
    CK_SLOT_ID slots[8];
    CK_ULONG count = 8;
    if (f_ == nullptr || f_->C_Initialize(&args) != CKR_OK || f_->C_GetSlotList(CK_TRUE, slots, &count) != CKR_OK) return;
    // The benchmark's token; the module also shows a free, uninitialised one.
    for (CK_ULONG i = 0; i < count && !ok_; ++i) {
      CK_TOKEN_INFO info{};
      ok_ = f_->C_GetTokenInfo(slots[i], &info) == CKR_OK && (info.flags & CKF_TOKEN_INITIALIZED) != 0;
      std::memcpy(serial_, info.serialNumber, sizeof serial_);
    }
  }
  ~Direct() {
    if (f_ == nullptr) return;
    f_->C_Finalize(nullptr);
    p11_kit_module_release(f_);
  }
  Direct(const Direct&) = delete;
  Direct& operator=(const Direct&) = delete;

  bool Save(const std::vector<unsigned char>& bytes) {
    return Session([&](CK_SESSION_HANDLE s) {
      std::vector<CK_OBJECT_HANDLE> old = Find(s);
      CK_OBJECT_CLASS dataClass = CKO_DATA;
      CK_BBOOL yes = CK_TRUE;
      CK_ATTRIBUTE object[] = {{CKA_CLASS, &dataClass, sizeof dataClass},
                               {CKA_TOKEN, &yes, sizeof yes},
                               {CKA_PRIVATE, &yes, sizeof yes},
                               {CKA_LABEL, const_cast<char*>(kLabel), std::strlen(kLabel)},
                               {CKA_VALUE, const_cast<unsigned char*>(bytes.data()), bytes.size()}};
      CK_OBJECT_HANDLE created;
      if (f_->C_CreateObject(s, object, 5, &created) != CKR_OK) return false;
      for (CK_OBJECT_HANDLE stale : old) {
        if (f_->C_DestroyObject(s, stale) != CKR_OK) return false;
      }
      return true;
    });
  }

  bool Load(size_t expected) {
    return Session([&](CK_SESSION_HANDLE s) {
      std::vector<CK_OBJECT_HANDLE> found = Find(s);
      if (found.empty()) return false;
      CK_ATTRIBUTE value{CKA_VALUE, nullptr, 0};
      if (f_->C_GetAttributeValue(s, found[0], &value, 1) != CKR_OK) return false;
      std::vector<unsigned char> bytes(value.ulValueLen);
      value.pValue = bytes.data();
      if (f_->C_GetAttributeValue(s, found[0], &value, 1) != CKR_OK) return false;
      benchmark::DoNotOptimize(bytes.data());
      return bytes.size() == expected;
    });
  }

  bool ok() const { return ok_; }

 private:
  // Slot numbers change as readers come and go; the serial number stays.
  bool Locate(CK_SLOT_ID* slot) {
    CK_ULONG count = 0;
    if (f_->C_GetSlotList(CK_TRUE, nullptr, &count) != CKR_OK) return false;
    std::vector<CK_SLOT_ID> slots(count);
    if (f_->C_GetSlotList(CK_TRUE, slots.data(), &count) != CKR_OK) return false;
    for (CK_ULONG i = 0; i < count; ++i) {
      CK_TOKEN_INFO info{};
      if (f_->C_GetTokenInfo(slots[i], &info) == CKR_OK && std::memcmp(info.serialNumber, serial_, sizeof serial_) == 0) {
        *slot = slots[i];
        return true;
      }
    }
    return false;
  }

  template <class Work>
  bool Session(Work work) {
    CK_SLOT_ID slot;
    CK_SESSION_HANDLE s;
    if (!Locate(&slot)) return false;
    if (f_->C_OpenSession(slot, CKF_SERIAL_SESSION | CKF_RW_SESSION, nullptr, nullptr, &s) != CKR_OK) return false;
    bool done = f_->C_Login(s, CKU_USER, reinterpret_cast<CK_UTF8CHAR*>(const_cast<char*>(kPin)), 4) == CKR_OK;
    done = done && work(s);
    f_->C_CloseSession(s);
    return done;
  }

  std::vector<CK_OBJECT_HANDLE> Find(CK_SESSION_HANDLE s) {
    CK_OBJECT_CLASS dataClass = CKO_DATA;
    CK_BBOOL yes = CK_TRUE;
    CK_ATTRIBUTE match[] = {{CKA_CLASS, &dataClass, sizeof dataClass},
                            {CKA_TOKEN, &yes, sizeof yes},
                            {CKA_LABEL, const_cast<char*>(kLabel), std::strlen(kLabel)}};
    std::vector<CK_OBJECT_HANDLE> found(16);
    CK_ULONG count = 0;
    if (f_->C_FindObjectsInit(s, match, 3) != CKR_OK) return {};
    f_->C_FindObjects(s, found.data(), found.size(), &count);
    f_->C_FindObjectsFinal(s);
    found.resize(count);
    return found;
  }

  CK_FUNCTION_LIST* f_;
  CK_UTF8CHAR serial_[16] = {};
  bool ok_ = false;
};

// Runs op once per iteration; the first failure ends the benchmark with `what`.
template <class Op>
void Loop(benchmark::State& state, const char* what, Op op) {
  for (auto _ : state) {
    if (!op()) {
      state.SkipWithError(what);
      break;
    }
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kItemBytes);
}

void BM_DirectSave(benchmark::State& state) {
  Direct direct;
  const auto bytes = Payload();
  Loop(state, "direct save failed", [&] { return direct.ok() && direct.Save(bytes); });
}
BENCHMARK(BM_DirectSave)->UseRealTime();

void BM_DirectLoad(benchmark::State& state) {
  Direct direct;
  const auto bytes = Payload();
  const bool stored = direct.ok() && direct.Save(bytes);
  Loop(state, "direct load failed", [&] { return stored && direct.Load(bytes.size()); });
}
BENCHMARK(BM_DirectLoad)->UseRealTime();

// ---- keydepot -------------------------------------------------------------

std::string g_devicePath;  // set by main(): the token's device path

class TokenItem {
 public:
  TokenItem() : session_(keydepot::ad::OpenSilentSession(nullptr)), pin_(kPin) {
    const auto bytes = Payload();
    data_ = IdentObj(bytes.data(), static_cast<DWORD>(bytes.size()));
    record_.path = g_devicePath + kLabel;
    record_.session = session_;
    record_.pin = &pin_;
  }
  ~TokenItem() {
    if (session_ != 0) keydepot::ad::CloseSession(session_);
  }
  TokenItem(const TokenItem&) = delete;
  TokenItem& operator=(const TokenItem&) = delete;

  bool Save() {
    record_.data = &data_;
    return session_ != 0 && keydepot::Save(&record_);
  }
  bool Load() {
    record_.data = &loaded_;
    return keydepot::Load(&record_) && loaded_ == data_;
  }

 private:
  DWORD session_;
  std::string pin_;
  IdentObj data_, loaded_;
  keydepot::CertInfo record_;
};

void BM_KeydepotSave(benchmark::State& state) {
  TokenItem item;
  Loop(state, "keydepot::Save failed", [&] { return item.Save(); });
}
BENCHMARK(BM_KeydepotSave)->UseRealTime();

void BM_KeydepotLoad(benchmark::State& state) {
  TokenItem item;
  const bool stored = item.Save();
  Loop(state, "keydepot::Load failed", [&] { return stored && item.Load(); });
}
BENCHMARK(BM_KeydepotLoad)->UseRealTime();

// A SoftHSM2 token of the benchmark's own; its device path, or empty.
std::string MakeToken(const std::filesystem::path& root) {
  std::filesystem::create_directories(root / "tokens");
  std::ofstream(root / "softhsm2.conf") << "directories.tokendir = " << (root / "tokens").string()
                                        << "\nobjectstore.backend = file\nlog.level = ERROR\n";
  ::setenv("SOFTHSM2_CONF", (root / "softhsm2.conf").c_str(), 1);
  ::setenv("NODYX_PKCS11_MODULES", SOFTHSM2_MODULE, 1);
  const std::string command =
      std::string(SOFTHSM2_UTIL) + " --init-token --free --label Bench --so-pin 0000 --pin " + kPin + " >/dev/null";
  if (std::system(command.c_str()) != 0) return {};
  const DWORD session = keydepot::ad::OpenSilentSession(nullptr);
  ComPtr<IAD_Device> device;
  std::string path;
  if (session != 0 && SUCCEEDED(keydepot::ad::FindDeviceByDisplayName(session, "Bench", device.put()))) {
    keydepot::ad::MakeDevicePath(device.get(), path);
  }
  device.reset();
  if (session != 0) keydepot::ad::CloseSession(session);
  return path;
}

}  // namespace

int main(int argc, char** argv) {
  kdbench::BenchEnvironment environment;
  g_devicePath = MakeToken(environment.Root() / "softhsm");
  if (g_devicePath.empty()) {
    std::fprintf(stderr, "pkcs11_bench: cannot make a SoftHSM2 token\n");
    return 1;
  }

  kdbench::RatioReporter reporter;
  reporter.AddRatio("token Save / direct PKCS#11 4 KiB", "BM_KeydepotSave/real_time", "BM_DirectSave/real_time");
  reporter.AddRatio("token Load / direct PKCS#11 4 KiB", "BM_KeydepotLoad/real_time", "BM_DirectLoad/real_time");
  return kdbench::RunAll(argc, argv, reporter);
}
