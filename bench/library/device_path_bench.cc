// ParseADPath and MakeADPath per call. Each call opens a device-type filter to
// reach the component's identifier conversion. Without a session nothing else
// holds the component, so whether every call loads and unloads it depends on
// the component; with a silent session open the session holds it loaded.
//
// The peer: p11-kit's parse and format of a PKCS#11 URI that carries what a
// device path does (the token's kind, the identifier bytes, the object's
// name), from Debian's libp11-kit.
//
// Counters: paths/s; loads/call and unloads/call are the modules the dynamic
// loader mapped and unmapped during the timed run, divided by its calls.
// The context lines before the table show what the very first call of the
// process did.
#include "bench_environment.h"
#include "loader_events.h"
#include "ratio_reporter.h"
#include "soft_token_store.h"

#include <keydepot/keydepot.h>

#include <benchmark/benchmark.h>
#include <p11-kit/uri.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

using keydepot::ad::DeviceId;
using keydepot::ad::IADPathProps;

const kdbench::SoftDevice kDevice{"token1", 100, "0A1B2C3D4E5F6071", false};
const DeviceId kDeviceId{0x0A, 0x1B, 0x2C, 0x3D, 0x4E, 0x5F, 0x60, 0x71};
const std::string kContainer = "sgn_cont";

// True when the path parsed to the device it names. A filter that cannot be
// opened arrives as a thrown long and counts as a failure.
bool ParseOnce(const std::string& path) {
  try {
    IADPathProps* parsed = nullptr;
    if (keydepot::ad::ParseADPath(path, &parsed) != S_OK || parsed == nullptr) return false;
    auto holder = keydepot::ComPtr<IADPathProps>::Adopt(parsed);
    return holder->GetDeviceType() == kDevice.type;
  } catch (long) {
    return false;
  }
}

bool MakeOnce(std::string& out) {
  out.clear();
  return keydepot::ad::MakeADPath(static_cast<EAD_DeviceType>(kDevice.type), kDeviceId, kContainer, out) >= 0 &&
         !out.empty();
}

void Report(benchmark::State& state, const kdbench::LoaderEvents& before) {
  const kdbench::LoaderEvents after = kdbench::ReadLoaderEvents();
  state.counters["paths/s"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
  state.counters["loads/call"] =
      benchmark::Counter(static_cast<double>(after.loads - before.loads), benchmark::Counter::kAvgIterations);
  state.counters["unloads/call"] =
      benchmark::Counter(static_cast<double>(after.unloads - before.unloads), benchmark::Counter::kAvgIterations);
}

void BM_ParseNoSession(benchmark::State& state) {
  const std::string path = kdbench::DevicePath(kDevice, kContainer);
  const kdbench::LoaderEvents before = kdbench::ReadLoaderEvents();
  for (auto _ : state) {
    if (!ParseOnce(path)) {
      state.SkipWithError("ParseADPath failed");
      break;
    }
  }
  Report(state, before);
}
BENCHMARK(BM_ParseNoSession);

void BM_MakeNoSession(benchmark::State& state) {
  std::string out;
  const kdbench::LoaderEvents before = kdbench::ReadLoaderEvents();
  for (auto _ : state) {
    if (!MakeOnce(out)) {
      state.SkipWithError("MakeADPath failed");
      break;
    }
    benchmark::DoNotOptimize(out.data());
  }
  Report(state, before);
}
BENCHMARK(BM_MakeNoSession);

// Holds one silent session open for the whole run, as an application that
// works with devices would.
class OpenSession {
 public:
  OpenSession() : handle_(keydepot::ad::OpenSilentSession(nullptr)) {}
  ~OpenSession() {
    if (handle_ != 0) keydepot::ad::CloseSession(handle_);
  }
  OpenSession(const OpenSession&) = delete;
  OpenSession& operator=(const OpenSession&) = delete;
  explicit operator bool() const noexcept { return handle_ != 0; }

 private:
  DWORD handle_;
};

void BM_ParseWithSession(benchmark::State& state) {
  OpenSession session;
  if (!session) {
    state.SkipWithError("OpenSilentSession failed");
    return;
  }
  const std::string path = kdbench::DevicePath(kDevice, kContainer);
  const kdbench::LoaderEvents before = kdbench::ReadLoaderEvents();
  for (auto _ : state) {
    if (!ParseOnce(path)) {
      state.SkipWithError("ParseADPath failed");
      break;
    }
  }
  Report(state, before);
}
BENCHMARK(BM_ParseWithSession);

void BM_MakeWithSession(benchmark::State& state) {
  OpenSession session;
  if (!session) {
    state.SkipWithError("OpenSilentSession failed");
    return;
  }
  std::string out;
  const kdbench::LoaderEvents before = kdbench::ReadLoaderEvents();
  for (auto _ : state) {
    if (!MakeOnce(out)) {
      state.SkipWithError("MakeADPath failed");
      break;
    }
    benchmark::DoNotOptimize(out.data());
  }
  Report(state, before);
}
BENCHMARK(BM_MakeWithSession);

// The same device, identifier and container as a PKCS#11 URI.
constexpr char kUri[] = "pkcs11:model=SoftToken;id=%0A%1B%2C%3D%4E%5F%60%71;object=sgn_cont";

void BM_P11KitUriParse(benchmark::State& state) {
  P11KitUri* uri = p11_kit_uri_new();
  for (auto _ : state) {
    if (p11_kit_uri_parse(kUri, P11_KIT_URI_FOR_ANY, uri) != P11_KIT_URI_OK) {
      state.SkipWithError("p11_kit_uri_parse failed");
      break;
    }
    benchmark::DoNotOptimize(uri);
  }
  p11_kit_uri_free(uri);
  state.counters["paths/s"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_P11KitUriParse);

void BM_P11KitUriFormat(benchmark::State& state) {
  P11KitUri* uri = p11_kit_uri_new();
  if (p11_kit_uri_parse(kUri, P11_KIT_URI_FOR_ANY, uri) != P11_KIT_URI_OK) state.SkipWithError("parse failed");
  for (auto _ : state) {
    char* text = nullptr;
    if (p11_kit_uri_format(uri, P11_KIT_URI_FOR_ANY, &text) != P11_KIT_URI_OK) {
      state.SkipWithError("p11_kit_uri_format failed");
      break;
    }
    benchmark::DoNotOptimize(text);
    std::free(text);
  }
  p11_kit_uri_free(uri);
  state.counters["paths/s"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_P11KitUriFormat);

std::string Describe(const char* what, const kdbench::LoaderEvents& before, const kdbench::LoaderEvents& after,
                     bool ok) {
  const std::string mapped = kdbench::MappedModulePath("nodyx.so");
  char text[160];
  std::snprintf(text, sizeof text, "%s; loader mapped %llu and unmapped %llu modules; nodyx.so %s afterwards",
                ok ? what : "FAILED", after.loads - before.loads, after.unloads - before.unloads,
                mapped.empty() ? "not mapped" : "still mapped");
  return text;
}

// The first two parses of the process, without a session: the first one is
// where the component gets loaded; the second shows whether it had to be
// loaded again.
void ObserveFirstCalls() {
  const std::string path = kdbench::DevicePath(kDevice, kContainer);
  for (const char* label : {"first parse, no session", "second parse, no session"}) {
    const kdbench::LoaderEvents before = kdbench::ReadLoaderEvents();
    const bool ok = ParseOnce(path);
    benchmark::AddCustomContext(label, Describe("parsed", before, kdbench::ReadLoaderEvents(), ok));
  }
  const std::string library = kdbench::MappedModulePath("libkeydepot.so.0");
  benchmark::AddCustomContext("library", library.empty() ? "?" : library);
}

}  // namespace

int main(int argc, char** argv) {
  kdbench::BenchEnvironment environment;
  kdbench::SoftTokenStore(environment.Store()).CreateDevice(kDevice);

  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  ObserveFirstCalls();

  kdbench::RatioReporter reporter;
  reporter.AddRatio("parse: no session / session", "BM_ParseNoSession", "BM_ParseWithSession");
  reporter.AddRatio("make: no session / session", "BM_MakeNoSession", "BM_MakeWithSession");
  reporter.AddRatio("ParseADPath (session) / p11-kit parse", "BM_ParseWithSession", "BM_P11KitUriParse", "<= 1.0");
  reporter.AddRatio("MakeADPath (session) / p11-kit format", "BM_MakeWithSession", "BM_P11KitUriFormat", "<= 0.8");
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}
