// The probe modules (probe_module.cc and its dependency probe_dep.cc) as the
// loader tests of both systems use them. posix/ and windows/probe_modules.cc
// hold what each system answers its own way.
#pragma once

#include "kdplatform/file_names.h"
#include "kdplatform/module_load.h"
#include "kdplatform/win32.h"

#include <kdtest/temp_folder.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace kdtest::probe {

// The probe module's file name in the copies the tests make, in mixed case:
// "PlatProbe.SO" or "PlatProbe.DLL".
extern const char* const kFileName;

// Whether a module whose file is named `name` is mapped, asked of the
// system's loader without loading it or counting a reference.
bool IsMapped(const std::string& name);

// Whether `path` is the file of this program.
bool IsThisProgram(const std::string& path);

// Loads as the library loads a component.
inline HMODULE Load(const std::string& path) { return LoadLibraryExA(path.c_str(), nullptr, kdp::kLoadFromOwnFolder); }

// The probe module and its dependency copied to <tmp>/Mixed/CaseDir/, the
// module as kFileName.
class MixedCaseModule : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = tmp_ / ("Mixed" + std::string(1, KDP_PATH_SEPARATOR) + "CaseDir");
    std::filesystem::create_directories(folder_);
    std::filesystem::copy_file(PLATFORM_PROBE_MODULE, RealPath());
    std::filesystem::copy_file(PLATFORM_PROBE_DEP, folder_ + KDP_PATH_SEPARATOR +
                                                       std::filesystem::path(PLATFORM_PROBE_DEP).filename().string());
  }
  std::string RealPath() const { return folder_ + KDP_PATH_SEPARATOR + kFileName; }

  TempFolder tmp_;
  std::string folder_;
};

}  // namespace kdtest::probe
