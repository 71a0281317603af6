// The device-type filter file: load, save and its effect on enumeration.
#include "component_fixture.h"
#include "kdplatform/environment.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace nodyx::test {
namespace {

class NodyxTypeFilterTest : public ComponentTest {
 protected:
  ComPtr<IPersistFile> Persist(IAD_DeviceTypeMgr* mgr) {
    ComPtr<IPersistFile> persist;
    EXPECT_EQ(ComPtr<IAD_DeviceTypeMgr>(mgr).As(&persist), S_OK);
    return persist;
  }
  static std::wstring Wide(const std::string& s) { return std::wstring(s.begin(), s.end()); }
  static std::string ReadFile(const std::string& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }
};

TEST_F(NodyxTypeFilterTest, MissingFilesGiveFileNotFound) {
  auto persist = Persist(TypeMgr().get());
  // No drive letters are mapped in this test.
  EXPECT_EQ(persist->Load(L"c:\\absent_file", 0), HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(persist->Load(L"absent_file", 0), HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(persist->Load(L"", 0), HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(persist->Load(Wide(store_ + "/no/such/folder/f.xml").c_str(), 0), HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(persist->Load(Wide(store_).c_str(), 0), HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
  kdp::SetEnvironmentValue("KEYDEPOT_DRIVES", ("C=" + store_).c_str());
  EXPECT_EQ(persist->Load(L"c:\\absent_file", 0), HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
}

TEST_F(NodyxTypeFilterTest, SaveLoadRoundTripAndFilteredEnumeration) {
  AddDevice("a", 100, {1});
  AddDevice("b", 200, {2});
  AddDevice("c", 101, {3});
  const std::string file = store_ + "/device_type_filter.xml";
  // As earlier versions wrote it: " />", no encoding in the declaration.
  std::ofstream(file) << R"(<?xml version="1.0"?>
<deviceTypeFilter version="1">
  <!-- a note -->
  <deviceType number="100" name="SoftToken" enabled="1" />
  <deviceType number="200" enabled="no" />
  <deviceType number="4711" enabled="false" />
  <deviceType number="101" />
</deviceTypeFilter>)";

  auto types = TypeMgr();
  auto persist = Persist(types.get());
  ASSERT_EQ(persist->Load(Wide(file).c_str(), 0), S_OK);
  {
    auto mgr = DeviceMgr(types.get());
    auto devices = Devices(mgr.get());
    ASSERT_EQ(devices.size(), 2u);  // an entry without "enabled" is enabled
  }

  // Save(null) writes the file last loaded; a second manager reads it back.
  std::filesystem::remove(file);
  ASSERT_EQ(persist->Save(nullptr, FALSE), S_OK);
  const std::string saved = ReadFile(file);
  EXPECT_NE(saved.find("4711"), std::string::npos);
  const std::string copy = store_ + "/copy.xml";
  ASSERT_EQ(persist->Save(Wide(copy).c_str(), FALSE), S_OK);
  EXPECT_EQ(ReadFile(copy), saved);

  auto reloaded = TypeMgr();
  ASSERT_EQ(Persist(reloaded.get())->Load(Wide(copy).c_str(), 0), S_OK);
  auto mgr = DeviceMgr(reloaded.get());
  auto devices = Devices(mgr.get());
  ASSERT_EQ(devices.size(), 2u);
  char name[AD_NAME_BUFFER];
  for (const auto& d : devices) {
    ASSERT_EQ(d->GetSystemName(name), S_OK);
    EXPECT_STRNE(name, "b");
  }
  // Leftover temporary files would show a non-atomic save.
  for (const auto& entry : std::filesystem::directory_iterator(store_)) {
    EXPECT_EQ(entry.path().filename().string().rfind("write-", 0), std::string::npos);
  }
}

// What the file's text may not be is FilterFileText's (filter_file_test.cc);
// here, that a refused file leaves the filter loaded before in force.
TEST_F(NodyxTypeFilterTest, MalformedFileIsRefusedAndKeepsTheFilter) {
  AddDevice("a", 100, {1});
  const std::string good = store_ + "/good.xml", bad = store_ + "/bad.xml";
  std::ofstream(good) << R"(<deviceTypeFilter><deviceType number="100" enabled="false"/></deviceTypeFilter>)";
  std::ofstream(bad) << R"(<deviceTypeFilter><deviceType number="1x0"/></deviceTypeFilter>)";
  auto types = TypeMgr();
  auto persist = Persist(types.get());
  ASSERT_EQ(persist->Load(Wide(good).c_str(), 0), S_OK);
  EXPECT_EQ(persist->Load(Wide(bad).c_str(), 0), HRESULT_FROM_WIN32(ERROR_INVALID_DATA));
  auto mgr = DeviceMgr(types.get());
  EXPECT_TRUE(Devices(mgr.get()).empty());
}

TEST_F(NodyxTypeFilterTest, SaveWithoutFileOrIntoMissingFolderFails) {
  auto persist = Persist(TypeMgr().get());
  EXPECT_EQ(persist->Save(nullptr, FALSE), E_UNEXPECTED);
  EXPECT_EQ(persist->Save(Wide(store_ + "/missing/f.xml").c_str(), FALSE), HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND));
  EXPECT_EQ(persist->Save(L"q:\\f.xml", FALSE), HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND));
  EXPECT_FALSE(std::filesystem::exists(store_ + "/missing"));
}

}  // namespace
}  // namespace nodyx::test
