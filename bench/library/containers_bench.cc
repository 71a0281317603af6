// GetADContainerNames on one software-token device holding 10, 100 and 1,000
// containers, as bare names and as full device paths. The token keeps them
// either as key-storage items (the default kind of device) or as crypto
// containers; both are measured. Each listed name costs the library one
// device-filter open (it builds the name's device path even when only names
// are asked for).
//
// The session sees one device per count and kind; the location
// \\!\SoftToken\<identifier> picks one of them.
//
// Counters: containers (listed per call) and s/container (time per listed
// container; the goal is 2 us or less at 1,000).
#include "bench_environment.h"
#include "ratio_reporter.h"
#include "soft_token_store.h"

#include <keydepot/keydepot.h>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <list>
#include <string>

namespace {

constexpr int kCounts[] = {10, 100, 1000};

kdbench::SoftDevice DeviceFor(int count, bool crypto) {
  char id[17];
  std::snprintf(id, sizeof id, "%02X%014X", crypto ? 0xC0 : 0x1E, static_cast<unsigned>(count));
  return {(crypto ? "crypto-" : "items-") + std::to_string(count), 100, id, crypto};
}

std::string ContainerName(int index) {
  char name[32];
  std::snprintf(name, sizeof name, "cont-%04d", index);
  return name;
}

void FillStore(const kdbench::SoftTokenStore& store) {
  for (const bool crypto : {false, true}) {
    for (const int count : kCounts) {
      const kdbench::SoftDevice device = DeviceFor(count, crypto);
      store.CreateDevice(device);
      for (int i = 0; i < count; ++i) {
        if (crypto)
          store.AddContainer(device, ContainerName(i));
        else
          store.AddItem(device, ContainerName(i), 64);
      }
    }
  }
}

// Arguments: container count, full paths (0/1), crypto containers (0/1).
void BM_List(benchmark::State& state) {
  const int count = static_cast<int>(state.range(0));
  const bool fullPaths = state.range(1) != 0;
  const bool crypto = state.range(2) != 0;
  const std::string location = kdbench::DeviceLocation("SoftToken", DeviceFor(count, crypto));

  const DWORD session = keydepot::ad::OpenSilentSession(nullptr);
  if (session == 0) {
    state.SkipWithError("OpenSilentSession failed");
    return;
  }
  std::list<std::string> names;
  for (auto _ : state) {
    names.clear();
    const HRESULT result =
        keydepot::ad::GetADContainerNames(session, location.c_str(), names, fullPaths, /*skipDefault=*/true);
    if (result < 0 || names.size() != static_cast<size_t>(count)) {
      state.SkipWithError("the listing did not give every container");
      break;
    }
  }
  keydepot::ad::CloseSession(session);

  state.SetLabel(std::string(crypto ? "crypto containers" : "key-storage items") + (fullPaths ? ", paths" : ", names"));
  state.counters["containers"] = static_cast<double>(count);
  state.counters["s/container"] = benchmark::Counter(static_cast<double>(state.iterations()) * count,
                                                     benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_List)
    ->ArgNames({"n", "paths", "crypto"})
    ->ArgsProduct({{10, 100, 1000}, {0, 1}, {0, 1}})
    ->Unit(benchmark::kMicrosecond)
    ->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  kdbench::BenchEnvironment environment;
  FillStore(kdbench::SoftTokenStore(environment.Store()));

  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;

  kdbench::RatioReporter reporter;
  for (const char* kind : {"0", "1"}) {
    const std::string suffix = std::string("/crypto:") + kind + "/real_time";
    const std::string what = kind[0] == '1' ? "crypto" : "items";
    reporter.AddRatio(what + ": 1000 / 10 names", "BM_List/n:1000/paths:0" + suffix, "BM_List/n:10/paths:0" + suffix);
    reporter.AddRatio(what + ": 1000 / 100 names", "BM_List/n:1000/paths:0" + suffix, "BM_List/n:100/paths:0" + suffix,
                      "<= 10 (linear)");
    reporter.AddRatio(what + ": paths / names, 1000", "BM_List/n:1000/paths:1" + suffix,
                      "BM_List/n:1000/paths:0" + suffix);
  }
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}
