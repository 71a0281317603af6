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
#include "kdplatform/win32.h"
#include "ratio_reporter.h"
#include "softhsm_token.h"

#include <keydepot/keydepot.h>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

using keydepot::ComPtr;

constexpr long kItemBytes = 4 * 1024;
constexpr char kLabel[] = "bench";

std::vector<unsigned char> Payload() {
  std::vector<unsigned char> bytes(kItemBytes);
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<unsigned char>(i * 131 + 7);
  return bytes;
}

// ---- direct PKCS#11 -----------------------------------------------------

// Every operation finds the token, opens a session, logs in, works and closes
// the session, as keydepot does for each call.
template <class Work>
bool InSession(const kdbench::SoftHsmToken& token, Work work) {
  CK_SESSION_HANDLE s;
  if (!token.OpenSession(&s)) return false;
  const bool done = work(s);
  token.Functions()->C_CloseSession(s);
  return done;
}

bool DirectSave(const kdbench::SoftHsmToken& token, const std::vector<unsigned char>& bytes) {
  return InSession(token, [&](CK_SESSION_HANDLE s) {
    const std::vector<CK_OBJECT_HANDLE> old = token.Find(s, kLabel);
    CK_OBJECT_HANDLE created;
    if (!token.Create(s, kLabel, bytes, &created)) return false;
    for (CK_OBJECT_HANDLE stale : old) {
      if (token.Functions()->C_DestroyObject(s, stale) != CKR_OK) return false;
    }
    return true;
  });
}

bool DirectLoad(const kdbench::SoftHsmToken& token, size_t expected) {
  return InSession(token, [&](CK_SESSION_HANDLE s) {
    const std::vector<CK_OBJECT_HANDLE> found = token.Find(s, kLabel);
    std::vector<unsigned char> bytes;
    if (found.empty() || !token.ReadValue(s, found[0], &bytes)) return false;
    benchmark::DoNotOptimize(bytes.data());
    return bytes.size() == expected;
  });
}

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
  const kdbench::SoftHsmToken token;
  const auto bytes = Payload();
  Loop(state, "direct save failed", [&] { return token.ok() && DirectSave(token, bytes); });
}
BENCHMARK(BM_DirectSave)->UseRealTime();

void BM_DirectLoad(benchmark::State& state) {
  const kdbench::SoftHsmToken token;
  const auto bytes = Payload();
  const bool stored = token.ok() && DirectSave(token, bytes);
  Loop(state, "direct load failed", [&] { return stored && DirectLoad(token, bytes.size()); });
}
BENCHMARK(BM_DirectLoad)->UseRealTime();

// ---- keydepot -------------------------------------------------------------

std::string g_devicePath;  // set by main(): the token's device path

class TokenItem {
 public:
  TokenItem() : session_(keydepot::ad::OpenSilentSession(nullptr)), pin_(kdbench::SoftHsmToken::kPin) {
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

// The token's device path as the library names it, or empty.
std::string DevicePathOfToken() {
  const DWORD session = keydepot::ad::OpenSilentSession(nullptr);
  ComPtr<IAD_Device> device;
  std::string path;
  if (session != 0 &&
      SUCCEEDED(keydepot::ad::FindDeviceByDisplayName(session, kdbench::SoftHsmToken::kLabel, device.put()))) {
    keydepot::ad::MakeDevicePath(device.get(), path);
  }
  device.reset();
  if (session != 0) keydepot::ad::CloseSession(session);
  return path;
}

}  // namespace

int main(int argc, char** argv) {
  kdbench::BenchEnvironment environment;
  if (kdbench::MakeSoftHsmToken(environment.Root() / "softhsm")) {
    ::setenv("NODYX_PKCS11_MODULES", SOFTHSM2_MODULE, 1);
    g_devicePath = DevicePathOfToken();
  }
  if (g_devicePath.empty()) {
    std::fprintf(stderr, "pkcs11_bench: cannot make a SoftHSM2 token\n");
    return 1;
  }

  kdbench::RatioReporter reporter;
  reporter.AddRatio("token Save / direct PKCS#11 4 KiB", "BM_KeydepotSave/real_time", "BM_DirectSave/real_time");
  reporter.AddRatio("token Load / direct PKCS#11 4 KiB", "BM_KeydepotLoad/real_time", "BM_DirectLoad/real_time");
  return kdbench::RunAll(argc, argv, reporter);
}
