#include "keydepot/ad/device_filter.h"
#include "test_support.h"

namespace keydepot::ad {
namespace {

using keydepot::testing::ComponentTest;
using DeviceFilterTest = ComponentTest;

TEST_F(DeviceFilterTest, MissingFileIsAnEmptyFilterAndSaveUsesTheSamePath) {
  tc().Force("PersistFile.Load", HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
  const DWORD handle = OpenDeviceFilter("c:\\absent_file");
  ASSERT_NE(handle, 0u);
  EXPECT_EQ(SaveDeviceFilter(handle), S_OK);
  EXPECT_EQ(tc().LoadedPaths(), std::vector<std::string>{"c:\\absent_file"});
  EXPECT_EQ(tc().SavedPaths(), std::vector<std::string>{"c:\\absent_file"});
  EXPECT_EQ(CloseDeviceFilter(handle), S_OK);
  EXPECT_FALSE(ComponentLoaded());
}

TEST_F(DeviceFilterTest, NullAndEmptyPathsUseTheDefaultFile) {
  const std::string expected = Join(ShellFolder(CSIDL_COMMON_APPDATA), {"Maltrove", "device_type_filter.xml"});
  for (const char* path : {static_cast<const char*>(nullptr), ""}) {
    const DWORD handle = OpenDeviceFilter(path);
    ASSERT_NE(handle, 0u);
    EXPECT_EQ(SaveDeviceFilter(handle), S_OK);
    CloseDeviceFilter(handle);
  }
  EXPECT_EQ(tc().LoadedPaths(), (std::vector<std::string>{expected, expected}));
  EXPECT_EQ(tc().SavedPaths(), (std::vector<std::string>{expected, expected}));
}

TEST_F(DeviceFilterTest, LoadFailuresReachTheLastErrorAndSuccessCodesDoNot) {
  tc().Force("PersistFile.Load", E_ACCESSDENIED);
  SetLastError(0);
  EXPECT_EQ(OpenDeviceFilter("f.xml"), 0u);
  EXPECT_EQ(static_cast<HRESULT>(GetLastError()), E_ACCESSDENIED);
  EXPECT_THROW(
      {
        try {
          DeviceFilter filter("f.xml");
        } catch (long code) {
          EXPECT_EQ(code, static_cast<long>(E_ACCESSDENIED));
          throw;
        }
      },
      long);

  tc().ClearFaults();
  tc().Force("PersistFile.Load", S_FALSE);
  SetLastError(0);
  const DWORD handle = OpenDeviceFilter("f.xml");
  EXPECT_NE(handle, 0u);
  EXPECT_NE(GetLastError(), static_cast<DWORD>(S_FALSE));  // a positive load result is not reported
  tc().Force("PersistFile.Save", S_FALSE);
  EXPECT_EQ(SaveDeviceFilter(handle), S_OK);
  tc().ClearFaults();
  tc().Force("PersistFile.Save", E_FAIL);
  EXPECT_EQ(SaveDeviceFilter(handle), E_FAIL);
  CloseDeviceFilter(handle);
}

TEST_F(DeviceFilterTest, ComponentProblemsFailTheOpen) {
  tc().Force("TypeMgr.QueryPersistFile", E_NOINTERFACE);
  EXPECT_EQ(OpenDeviceFilter("f.xml"), 0u);
  EXPECT_EQ(static_cast<HRESULT>(GetLastError()), E_NOINTERFACE);

  tc().ClearFaults();
  tc().Force("TypeMgr.QueryPersistFile", E_OUTOFMEMORY);
  try {
    OpenDeviceFilter("f.xml");
    ADD_FAILURE() << "a QueryInterface failure other than E_NOINTERFACE must surface as _com_error";
  } catch (const _com_error& error) {
    EXPECT_EQ(error.Error(), E_OUTOFMEMORY);
  }

  tc().ClearFaults();
  tc().GiveNoClassObject(kdtc::ClassObject::DeviceTypeMgr);
  EXPECT_EQ(OpenDeviceFilter("f.xml"), 0u);
  EXPECT_TRUE(FAILED(static_cast<HRESULT>(GetLastError())));
}

TEST_F(DeviceFilterTest, HandlesAreCheckedBeforeUse) {
  EXPECT_EQ(CloseDeviceFilter(0), E_INVALIDARG);
  EXPECT_EQ(SaveDeviceFilter(0), E_INVALIDARG);
  EXPECT_EQ(CloseDeviceFilter(0x7654321), E_HANDLE);  // never issued
  const DWORD handle = OpenDeviceFilter("f.xml");
  ASSERT_NE(handle, 0u);
  EXPECT_EQ(CloseDeviceFilter(handle), S_OK);
  EXPECT_EQ(CloseDeviceFilter(handle), E_HANDLE);  // already closed
  EXPECT_EQ(SaveDeviceFilter(handle), E_HANDLE);
}

TEST_F(DeviceFilterTest, WrapperLendsTheManagerWithoutAReference) {
  DeviceFilter filter("f.xml");
  IAD_DeviceTypeMgr* first = filter;
  IAD_DeviceTypeMgr* second = filter;
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(first, second);
  EXPECT_EQ(tc().LiveObjects("DeviceTypeMgr"), 1);
  first->AddRef();
  EXPECT_EQ(first->Release(), 1u);  // only the filter's own reference is left
  EXPECT_EQ(filter.Save(), S_OK);
}

}  // namespace
}  // namespace keydepot::ad
