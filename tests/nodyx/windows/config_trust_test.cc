// The shared configuration files on Windows, planted the way another local
// user would plant them: a filter file or a module file others may change
// (an entry for Everyone; under Wine the host's mode o+w) or another user
// owns (through the host, kdtest/wine_host.h) is not used, and a saved filter
// file asks for every user reading it and its owner alone writing.
#include "pkcs11/module_list.h"
#include "type_filter.h"

#include <kdplatform/security.h>
#include <kdtest/creation_log.h>
#include <kdtest/environment.h>
#include <kdtest/temp_folder.h>
#include <kdtest/wine_host.h>

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <string>
#include <vector>

namespace nodyx {
namespace {

constexpr char kDisables100[] = R"(<deviceTypeFilter><deviceType number="100" enabled="false"/></deviceTypeFilter>)";
// Everyone may change the file or what the folder holds.
constexpr char kEveryoneChanges[] = "(A;OICI;0x1301ff;;;WD)";

void Write(const std::string& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

// Files as another user would leave them: one others may change, one in a
// folder others may change and, when the host can give it away, another
// user's. Each holds `text`.
std::vector<std::string> PlantedFiles(const kdtest::TempFolder& folder, const std::string& name,
                                      const std::string& text) {
  const std::string writable = folder / ("writable-" + name), open = folder / "open";
  const std::string inOpen = open + "\\" + name, owned = folder / ("owned-" + name);
  CreateDirectoryA(open.c_str(), nullptr);
  for (const std::string& path : {writable, inOpen, owned}) Write(path, text);
  EXPECT_TRUE(kdtest::SetAccessList(writable, kEveryoneChanges));
  EXPECT_TRUE(kdtest::SetAccessList(open, kEveryoneChanges));
  std::vector<std::string> planted{writable, inOpen};
  if (kdtest::HostCanGiveAway() && kdtest::GiveToOtherHostUser(owned)) planted.push_back(owned);
  return planted;
}

TEST(SharedConfigTest, FilterFileOthersCouldHaveWrittenIsNoFilter) {
  const kdtest::TempFolder folder;
  const std::string mine = folder / "mine.xml";
  Write(mine, kDisables100);
  TypeFilter filter;
  ASSERT_EQ(LoadTypeFilter(mine, &filter), S_OK);
  EXPECT_FALSE(filter.IsEnabled(100));

  for (const std::string& path : PlantedFiles(folder, "filter.xml", kDisables100)) {
    TypeFilter kept;
    kept.enabled[1] = false;
    EXPECT_EQ(LoadTypeFilter(path, &kept), HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND)) << path;
    EXPECT_EQ(kept.enabled, (std::map<std::int32_t, bool>{{1, false}})) << path;
  }
}

TEST(SharedConfigTest, ModuleFilesOthersMayChangeAreRefused) {
  const kdtest::TempFolder folder;
  const std::string good = folder / "good.dll";
  Write(good, "not loaded here");
  std::vector<std::string> paths{good};
  for (const std::string& path : PlantedFiles(folder, "module.dll", "not loaded here")) paths.push_back(path);
  std::string variable;
  for (const std::string& path : paths)
    variable += (variable.empty() ? "" : std::string(1, pkcs11::kModuleListSeparator)) + path;
  const kdtest::ScopedEnv modules("NODYX_PKCS11_MODULES", variable);
  const pkcs11::ModuleList list = pkcs11::ReadModuleList();
  ASSERT_EQ(list.modules.size(), paths.size());
  EXPECT_EQ(list.modules[0].refused, "");
  for (std::size_t i = 1; i < paths.size(); ++i) {
    EXPECT_EQ(list.modules[i].refused.rfind("not trusted: ", 0), 0u) << paths[i] << ": " << list.modules[i].refused;
  }
}

TEST(SavedFilterFile, AsksForEveryUserReadingItAndItsOwnerAloneWriting) {
  const kdtest::TempFolder folder;
  const kdtest::CreationLog log;
  ASSERT_EQ(SaveTypeFilter(folder / "filter.xml", TypeFilter{}), S_OK);
  std::vector<std::string> created;
  for (const kdtest::SystemCall& call : log.Calls("CreateFileA")) {
    if (call.flags != OPEN_EXISTING) created.push_back(call.sddl);
  }
  EXPECT_EQ(created,
            std::vector<std::string>{kdtest::ExpectedSddl(kdp::SecurityRole::kPublicRead, kdp::SecuredObject::kFile)});
}

}  // namespace
}  // namespace nodyx
