// Whole `keydepot` processes, timed from spawn to exit, set against the same
// command on a device without a PIN in the same run: `keydepot list` of a
// software-token device holding 100 items of 4 KiB, and `keydepot load` of
// one of them. The tool presents the PIN before each item it reads, all in
// one session, so with a PIN a run pays one derivation and otherwise what
// the run without a PIN pays. The derivation itself is timed in this
// process (the store's PIN check at the tools' strength) for the `load`
// row: one derivation plus the load without a PIN is its floor.
#include "bench_environment.h"
#include "ratio_reporter.h"
#include "soft_token_store.h"
#include "store/pin_hash.h"

#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <fstream>
#include <string>
#include <vector>

extern char** environ;

namespace {

constexpr int kItems = 100;
constexpr std::size_t kItemBytes = 4096;
const kdbench::SoftDevice kOpen{"list-open", 100, "2C3D4E5F60718293", false};
const kdbench::SoftDevice kLocked{"list-pin", 100, "3D4E5F6071829304", false, "8152"};
std::string g_pinFile;  // set by main()

// Runs the tool with its output thrown away; true when it exited with 0.
bool Run(std::vector<std::string> arguments) {
  std::vector<char*> argv;
  for (auto& argument : arguments) argv.push_back(argument.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  pid_t child = 0;
  const int error = posix_spawn(&child, KEYDEPOT_TOOL, &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  int status = 0;
  return error == 0 && waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

void RunList(benchmark::State& state, const kdbench::SoftDevice& device) {
  std::vector<std::string> command{"keydepot", "list", kdbench::DeviceLocation("SoftToken", device)};
  if (!device.pin.empty()) command.insert(command.end(), {"--pin-file", g_pinFile});
  if (!Run(command)) {  // warm-up: the tool and its libraries in the page cache
    state.SkipWithError("keydepot list failed");
    return;
  }
  for (auto _ : state) {
    if (!Run(command)) {
      state.SkipWithError("keydepot list failed");
      break;
    }
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * kItems);
}

void BM_ListWithoutPin(benchmark::State& state) { RunList(state, kOpen); }
BENCHMARK(BM_ListWithoutPin)->UseRealTime()->Unit(benchmark::kMillisecond);

void BM_ListWithPin(benchmark::State& state) { RunList(state, kLocked); }
BENCHMARK(BM_ListWithPin)->UseRealTime()->Unit(benchmark::kMillisecond);

void RunLoad(benchmark::State& state, const kdbench::SoftDevice& device) {
  std::vector<std::string> command{"keydepot", "load", kdbench::DevicePath(device, "item-0")};
  if (!device.pin.empty()) command.insert(command.end(), {"--pin-file", g_pinFile});
  if (!Run(command)) {
    state.SkipWithError("keydepot load failed");
    return;
  }
  for (auto _ : state) {
    if (!Run(command)) {
      state.SkipWithError("keydepot load failed");
      break;
    }
  }
}

void BM_LoadWithoutPin(benchmark::State& state) { RunLoad(state, kOpen); }
BENCHMARK(BM_LoadWithoutPin)->UseRealTime()->Unit(benchmark::kMillisecond);

void BM_LoadWithPin(benchmark::State& state) { RunLoad(state, kLocked); }
BENCHMARK(BM_LoadWithPin)->UseRealTime()->Unit(benchmark::kMillisecond);

// One check of a right PIN against a hash made as the tools make it.
void BM_PinDerivation(benchmark::State& state) {
  const auto stored = nodyx::HashNewPin(kLocked.pin, nodyx::kPinIterations);
  if (!stored) {
    state.SkipWithError("cannot hash the PIN");
    return;
  }
  for (auto _ : state) {
    if (!nodyx::PinMatches(kLocked.pin, *stored)) {
      state.SkipWithError("the PIN did not match");
      break;
    }
  }
}
BENCHMARK(BM_PinDerivation)->UseRealTime()->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  kdbench::BenchEnvironment environment;
  const kdbench::SoftTokenStore store(environment.Store());
  for (const auto* device : {&kOpen, &kLocked}) {
    store.CreateDevice(*device);
    // item-0 is a record as the library saves it, for `keydepot load`.
    store.AddRecord(*device, "item-0", kItemBytes - 4);
    for (int i = 1; i < kItems; ++i) store.AddItem(*device, "item-" + std::to_string(i), kItemBytes);
  }
  g_pinFile = (environment.Files() / "pin.txt").string();
  std::ofstream(g_pinFile) << kLocked.pin << "\n";
  kdbench::LetTheStoreSettle();

  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  kdbench::RatioReporter reporter;
  reporter.AddRatio("keydepot list, 100 items, with PIN / without PIN", "BM_ListWithPin/real_time",
                    "BM_ListWithoutPin/real_time", "<= 1.2");
  // What the row above cannot go below: a login derives the PIN once, and
  // that alone costs about as much as the whole listing without one.
  reporter.AddRatio("keydepot list with PIN / (derivation + list)", "BM_ListWithPin/real_time",
                    "BM_PinDerivation/real_time + BM_ListWithoutPin/real_time");
  reporter.AddRatio("keydepot load with PIN / (derivation + load)", "BM_LoadWithPin/real_time",
                    "BM_PinDerivation/real_time + BM_LoadWithoutPin/real_time", "<= 1.2");
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}
