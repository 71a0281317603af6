// keydepot::Save and keydepot::Load of 4 KiB and 1 MiB items, on a folder
// path and on a software-token device path, set against plain POSIX file
// calls doing the same work in the same run.
//
// What each side does per operation:
//  - folder Save and token Save: write a temporary file beside the item,
//    fsync it, rename it over the item and fsync the folder (the folder
//    Save adds the library's free-space query and path handling, the token
//    Save the device lookup and the record's length prefix).
//    PlainWriteFsync is the same open/write/fsync/close/rename/folder fsync;
//    PlainWrite leaves out both fsyncs, to show what durability costs.
//  - Load (either): open, size, read the whole item into a fresh buffer.
//    TokenLoadPin does the same on a device with a PIN, presenting the PIN
//    on every Load as applications do, in one session that logged in (and
//    so derived the PIN once) before the run: each timed Load is a second or
//    later one of the session.
//    PlainRead is open/fstat/read into a fresh buffer/close.
//  - SoftHSM2, the PKCS#11 soft token keydepot's token is set against: in a
//    session opened and logged in before the loop, SoftHsm2Create makes one
//    4 KiB private data object on the token (each is destroyed again outside
//    the timed part), SoftHsm2FindRead finds one by its label and reads its
//    value (size, then bytes).
#include "bench_environment.h"
#include "ratio_reporter.h"
#include "soft_token_store.h"
#include "softhsm_token.h"

#include <keydepot/keydepot.h>

#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace {

const kdbench::SoftDevice kDevice{"token1", 100, "0A1B2C3D4E5F6071", false};
// The same kind of device with a PIN; the benchmark presents it on every Load.
const std::string kPin = "4071";
const kdbench::SoftDevice kPinDevice{"token2", 100, "1B2C3D4E5F607182", false, kPin};
std::filesystem::path g_files;  // set by main(): the benchmark's folder

constexpr long kSmall = 4 * 1024;
constexpr long kLarge = 1024 * 1024;

std::vector<unsigned char> Payload(long size) {
  std::vector<unsigned char> bytes(static_cast<size_t>(size));
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<unsigned char>(i * 131 + 7);
  return bytes;
}

std::string FolderItem(const char* side, long size) {
  return (g_files / (std::string(side) + "-" + std::to_string(size) + ".bin")).string();
}

void Throughput(benchmark::State& state) {
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
}

// ---- plain POSIX --------------------------------------------------------

bool WriteAll(int fd, const unsigned char* data, size_t size) {
  while (size > 0) {
    const ssize_t written = ::write(fd, data, size);
    if (written <= 0) return false;
    data += written;
    size -= static_cast<size_t>(written);
  }
  return true;
}

bool PlainWrite(const std::string& item, const std::vector<unsigned char>& bytes, bool sync) {
  const std::string temporary = item + ".tmp";
  const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (fd < 0) return false;
  bool ok = WriteAll(fd, bytes.data(), bytes.size());
  if (ok && sync) ok = ::fsync(fd) == 0;
  ok = (::close(fd) == 0) && ok;
  ok = ok && std::rename(temporary.c_str(), item.c_str()) == 0;
  if (ok && sync) {
    const int folder = ::open(g_files.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    ok = folder >= 0 && ::fsync(folder) == 0;
    if (folder >= 0) ::close(folder);
  }
  return ok;
}

bool PlainRead(const std::string& item, size_t expected) {
  const int fd = ::open(item.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat info {};
  bool ok = ::fstat(fd, &info) == 0;
  if (ok) {
    const auto size = static_cast<size_t>(info.st_size);
    std::unique_ptr<unsigned char[]> buffer(new unsigned char[size]);
    size_t done = 0;
    while (done < size) {
      const ssize_t got = ::read(fd, buffer.get() + done, size - done);
      if (got <= 0) break;
      done += static_cast<size_t>(got);
    }
    benchmark::DoNotOptimize(buffer.get());
    ok = done == size && size == expected;
  }
  ::close(fd);
  return ok;
}

void BM_PlainWrite(benchmark::State& state) {
  const auto bytes = Payload(state.range(0));
  const std::string item = FolderItem("plain", state.range(0));
  for (auto _ : state) {
    if (!PlainWrite(item, bytes, false)) {
      state.SkipWithError("plain write failed");
      break;
    }
  }
  Throughput(state);
}
BENCHMARK(BM_PlainWrite)->Arg(kSmall)->Arg(kLarge)->UseRealTime();

void BM_PlainWriteFsync(benchmark::State& state) {
  const auto bytes = Payload(state.range(0));
  const std::string item = FolderItem("plain-sync", state.range(0));
  for (auto _ : state) {
    if (!PlainWrite(item, bytes, true)) {
      state.SkipWithError("plain write failed");
      break;
    }
  }
  Throughput(state);
}
BENCHMARK(BM_PlainWriteFsync)->Arg(kSmall)->Arg(kLarge)->UseRealTime();

void BM_PlainRead(benchmark::State& state) {
  const auto bytes = Payload(state.range(0));
  const std::string item = FolderItem("plain", state.range(0));
  if (!PlainWrite(item, bytes, false)) {
    state.SkipWithError("plain write failed");
    return;
  }
  for (auto _ : state) {
    if (!PlainRead(item, bytes.size())) {
      state.SkipWithError("plain read failed");
      break;
    }
  }
  Throughput(state);
}
BENCHMARK(BM_PlainRead)->Arg(kSmall)->Arg(kLarge)->UseRealTime();

// ---- the library --------------------------------------------------------

// Saves and loads one item through the storage functions. The session is 0
// for folder paths.
class StoredItem {
 public:
  StoredItem(std::string path, DWORD session, long size, const std::string* pin = nullptr) {
    const auto bytes = Payload(size);
    data_ = IdentObj(bytes.data(), static_cast<DWORD>(bytes.size()));
    record_.path = std::move(path);
    record_.session = session;
    record_.pin = pin;
  }

  bool Save() {
    record_.data = &data_;
    return keydepot::Save(&record_);
  }

  bool Load() {
    record_.data = &loaded_;
    return keydepot::Load(&record_) && loaded_.GetObjectSize() == data_.GetObjectSize();
  }

  // The last load gave back exactly the saved bytes.
  bool LoadedIntact() const { return loaded_ == data_; }

 private:
  IdentObj data_;
  IdentObj loaded_;
  keydepot::CertInfo record_;
};

void RunSave(benchmark::State& state, StoredItem& item) {
  for (auto _ : state) {
    if (!item.Save()) {
      state.SkipWithError("keydepot::Save failed");
      break;
    }
  }
  Throughput(state);
}

void RunLoad(benchmark::State& state, StoredItem& item) {
  if (!item.Save()) {
    state.SkipWithError("keydepot::Save failed");
    return;
  }
  for (auto _ : state) {
    if (!item.Load()) {
      state.SkipWithError("keydepot::Load failed");
      break;
    }
  }
  if (!item.LoadedIntact()) state.SkipWithError("loaded bytes differ from the saved ones");
  Throughput(state);
}

void BM_FolderSave(benchmark::State& state) {
  StoredItem item(FolderItem("library", state.range(0)), 0, state.range(0));
  RunSave(state, item);
}
BENCHMARK(BM_FolderSave)->Arg(kSmall)->Arg(kLarge)->UseRealTime();

void BM_FolderLoad(benchmark::State& state) {
  StoredItem item(FolderItem("library", state.range(0)), 0, state.range(0));
  RunLoad(state, item);
}
BENCHMARK(BM_FolderLoad)->Arg(kSmall)->Arg(kLarge)->UseRealTime();

// The session every TokenLoadPin runs in (main): it logged in to the PIN
// device before the benchmarks, as a session's first Load would.
DWORD g_pinSession = 0;

// A silent session (the one given, else one of its own for the benchmark);
// device paths find their device through it.
class TokenItem {
 public:
  explicit TokenItem(long size, const kdbench::SoftDevice& device = kDevice, DWORD session = 0)
      : own_(session == 0),
        session_(own_ ? keydepot::ad::OpenSilentSession(nullptr) : session),
        item_(kdbench::DevicePath(device, "item-" + std::to_string(size)), session_, size,
              device.pin.empty() ? nullptr : &device.pin) {}
  ~TokenItem() {
    if (own_ && session_ != 0) keydepot::ad::CloseSession(session_);
  }
  TokenItem(const TokenItem&) = delete;
  TokenItem& operator=(const TokenItem&) = delete;

  bool Open() const { return session_ != 0; }
  StoredItem& Item() { return item_; }

 private:
  bool own_;
  DWORD session_;
  StoredItem item_;
};

void BM_TokenSave(benchmark::State& state) {
  TokenItem token(state.range(0));
  if (!token.Open()) {
    state.SkipWithError("OpenSilentSession failed");
    return;
  }
  RunSave(state, token.Item());
}
BENCHMARK(BM_TokenSave)->Arg(kSmall)->Arg(kLarge)->UseRealTime();

void BM_TokenLoad(benchmark::State& state) {
  TokenItem token(state.range(0));
  if (!token.Open()) {
    state.SkipWithError("OpenSilentSession failed");
    return;
  }
  RunLoad(state, token.Item());
}
BENCHMARK(BM_TokenLoad)->Arg(kSmall)->Arg(kLarge)->UseRealTime();

void BM_TokenLoadPin(benchmark::State& state) {
  TokenItem token(state.range(0), kPinDevice, g_pinSession);
  if (!token.Open()) {
    state.SkipWithError("OpenSilentSession failed");
    return;
  }
  RunLoad(state, token.Item());
}
BENCHMARK(BM_TokenLoadPin)->Arg(kSmall)->UseRealTime();

// ---- SoftHSM2 ----------------------------------------------------------

bool g_softHsm = false;  // set by main(): the token was made

// A logged-in session on the SoftHSM2 token for one benchmark.
class SoftHsmSession {
 public:
  SoftHsmSession() : open_(g_softHsm && token_.ok() && token_.OpenSession(&session_)) {}
  ~SoftHsmSession() {
    if (open_) token_.Functions()->C_CloseSession(session_);
  }
  SoftHsmSession(const SoftHsmSession&) = delete;
  SoftHsmSession& operator=(const SoftHsmSession&) = delete;

  bool open() const { return open_; }
  const kdbench::SoftHsmToken& token() const { return token_; }
  CK_SESSION_HANDLE get() const { return session_; }

 private:
  kdbench::SoftHsmToken token_;
  CK_SESSION_HANDLE session_ = 0;
  bool open_;
};

void BM_SoftHsm2Create(benchmark::State& state) {
  const SoftHsmSession session;
  if (!session.open()) {
    state.SkipWithError("no SoftHSM2 token");
    return;
  }
  const auto bytes = Payload(state.range(0));
  for (auto _ : state) {
    CK_OBJECT_HANDLE created;
    if (!session.token().Create(session.get(), "created", bytes, &created)) {
      state.SkipWithError("C_CreateObject failed");
      break;
    }
    state.PauseTiming();
    session.token().Functions()->C_DestroyObject(session.get(), created);
    state.ResumeTiming();
  }
  Throughput(state);
}
BENCHMARK(BM_SoftHsm2Create)->Arg(kSmall)->UseRealTime();

void BM_SoftHsm2FindRead(benchmark::State& state) {
  const SoftHsmSession session;
  const auto bytes = Payload(state.range(0));
  CK_OBJECT_HANDLE stored;
  if (!session.open() || !session.token().Create(session.get(), "stored", bytes, &stored)) {
    state.SkipWithError("no SoftHSM2 token");
    return;
  }
  std::vector<unsigned char> value;
  for (auto _ : state) {
    const std::vector<CK_OBJECT_HANDLE> found = session.token().Find(session.get(), "stored");
    if (found.empty() || !session.token().ReadValue(session.get(), found[0], &value) || value != bytes) {
      state.SkipWithError("find and read failed");
      break;
    }
  }
  session.token().Functions()->C_DestroyObject(session.get(), stored);
  Throughput(state);
}
BENCHMARK(BM_SoftHsm2FindRead)->Arg(kSmall)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  kdbench::BenchEnvironment environment;
  g_files = environment.Files();
  kdbench::SoftTokenStore(environment.Store()).CreateDevice(kDevice);
  kdbench::SoftTokenStore(environment.Store()).CreateDevice(kPinDevice);
  g_softHsm = kdbench::MakeSoftHsmToken(environment.Root() / "softhsm");
  g_pinSession = keydepot::ad::OpenSilentSession(nullptr);
  if (g_pinSession != 0) {
    // The login: the one derivation of the session, which also writes the
    // device's count of wrong PINs.
    TokenItem login(kSmall, kPinDevice, g_pinSession);
    login.Item().Save();
  }
  kdbench::LetTheStoreSettle();

  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;

  kdbench::RatioReporter reporter;
  for (const long size : {kSmall, kLarge}) {
    const std::string arg = "/" + std::to_string(size) + "/real_time";
    const std::string label = size == kSmall ? " 4 KiB" : " 1 MiB";
    reporter.AddRatio("folder Save / plain write+fsync" + label, "BM_FolderSave" + arg, "BM_PlainWriteFsync" + arg);
    reporter.AddRatio("folder Load / plain read" + label, "BM_FolderLoad" + arg, "BM_PlainRead" + arg, "<= 1.15");
    reporter.AddRatio("token Save / plain write+fsync" + label, "BM_TokenSave" + arg, "BM_PlainWriteFsync" + arg,
                      size == kSmall ? "<= 1.5" : "");
    reporter.AddRatio("token Load / plain read" + label, "BM_TokenLoad" + arg, "BM_PlainRead" + arg, "<= 3");
  }
  const std::string small = "/" + std::to_string(kSmall) + "/real_time";
  reporter.AddRatio("token Load with PIN / without PIN 4 KiB", "BM_TokenLoadPin" + small, "BM_TokenLoad" + small,
                    "<= 1.2");
  reporter.AddRatio("SoftHSM2 create / token Save 4 KiB", "BM_SoftHsm2Create" + small, "BM_TokenSave" + small, ">= 3");
  // The most any durable save can reach against SoftHSM2 on this disk.
  reporter.AddRatio("SoftHSM2 create / plain write+fsync 4 KiB", "BM_SoftHsm2Create" + small,
                    "BM_PlainWriteFsync" + small);
  reporter.AddRatio("SoftHSM2 find+read / token Load 4 KiB", "BM_SoftHsm2FindRead" + small, "BM_TokenLoad" + small,
                    ">= 3");
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  if (g_pinSession != 0) keydepot::ad::CloseSession(g_pinSession);
  return 0;
}
