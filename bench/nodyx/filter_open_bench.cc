// The cycle the library runs for every device path it parses or writes:
// load nodyx, get a device-type manager, load the filter from the missing
// file "c:\absent_file", take type 100, turn an identifier text into bytes,
// release everything, ask CanUnloadNow and free the module.
//
// Unpinned: a build of the module that does not pin itself. With nothing
// else holding it, each cycle loads and unloads it; KeptLoaded holds an
// extra handle, as an open session does. Shipped: the module as shipped,
// which pins itself on first use.
#include "keydepot/ad/component.h"
#include "kdplatform/win32.h"

#include <benchmark/benchmark.h>

#include <cstdlib>

namespace {

using kdp::ComPtr;

void ParseCycle(benchmark::State& state, const char* path) {
  HMODULE module = LoadLibraryExA(path, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
  if (module == nullptr) {
    state.SkipWithError("nodyx could not be loaded");
    return;
  }
  auto getClassObject = kdp::ProcAs<PFN_AD_GetClassObject>(GetProcAddress(module, AD_EXPORT_GET_CLASS_OBJECT));
  auto canUnloadNow = kdp::ProcAs<PFN_AD_CanUnloadNow>(GetProcAddress(module, AD_EXPORT_CAN_UNLOAD_NOW));
  HRESULT unload = E_FAIL;
  {
    ComPtr<IAD_DeviceTypeMgr> mgr;
    ComPtr<IPersistFile> persist;
    ComPtr<IAD_DeviceType> type;
    if (FAILED(getClassObject(CLSID_ADDeviceTypeMgr, IID_IAD_DeviceTypeMgr, mgr.put_void())) ||
        FAILED(mgr.As(&persist))) {
      state.SkipWithError("no device-type manager");
    } else {
      benchmark::DoNotOptimize(persist->Load(L"c:\\absent_file", 0));
      if (SUCCEEDED(mgr->GetDeviceType(static_cast<EAD_DeviceType>(100), type.put()))) {
        DWORD size = 0;
        BYTE id[8] = {};
        type->TextToId("0A1B2C3D", &size, nullptr);
        benchmark::DoNotOptimize(type->TextToId("0A1B2C3D", &size, id));
      }
    }
  }
  unload = canUnloadNow();
  if (unload != S_OK) state.SkipWithError("CanUnloadNow refused after every object was released");
  FreeLibrary(module);
}

void BM_ParseCycleUnpinnedUnloaded(benchmark::State& state) {
  for (auto _ : state) ParseCycle(state, NODYX_UNPINNED_PATH);
}
BENCHMARK(BM_ParseCycleUnpinnedUnloaded);

void BM_ParseCycleUnpinnedKeptLoaded(benchmark::State& state) {
  HMODULE keep = LoadLibraryExA(NODYX_UNPINNED_PATH, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
  for (auto _ : state) ParseCycle(state, NODYX_UNPINNED_PATH);
  FreeLibrary(keep);
}
BENCHMARK(BM_ParseCycleUnpinnedKeptLoaded);

void BM_ParseCycleShipped(benchmark::State& state) {
  for (auto _ : state) ParseCycle(state, NODYX_MODULE_PATH);
}
BENCHMARK(BM_ParseCycleShipped);

}  // namespace

BENCHMARK_MAIN();
