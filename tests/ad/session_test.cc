#include "ad/session_core.h"
#include "keydepot/ad/session.h"
#include "kdplatform/com_object.h"
#include "test_support.h"

namespace keydepot::ad {
namespace {

using keydepot::testing::ComponentTest;
using SessionTest = ComponentTest;

// A caller's event sink.
struct Sink : kdp::ComObject<Sink, _IAD_DeviceMgrEvents> {
  HRESULT STDMETHODCALLTYPE DeviceArrived(IAD_Device*) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE DeviceRemoved(IAD_Device*) override { return S_OK; }
};

TEST_F(SessionTest, SharedSilentSessionInitialisesOnceAndTearsDownAtTheLastClose) {
  const DWORD a = OpenSilentSession("f.xml");
  const DWORD b = OpenSilentSession("other.xml");
  ASSERT_NE(a, 0u);
  EXPECT_EQ(a, b);
  EXPECT_EQ(tc().CallCount("DeviceMgr.Initialize"), 1u);
  EXPECT_EQ(tc().LastInitializeFlag(), false);
  EXPECT_TRUE(tc().LastInitializeHadTypeMgr());
  // The second open's filter path is ignored: the first filter stays.
  EXPECT_EQ(tc().LoadedPaths(), std::vector<std::string>{"f.xml"});

  EXPECT_EQ(CloseSession(a), S_OK);
  EXPECT_EQ(tc().CallCount("DeviceMgr.Uninitialize"), 0u);
  EXPECT_EQ(CloseSession(b), S_OK);
  EXPECT_EQ(tc().CallCount("DeviceMgr.Uninitialize"), 1u);
  EXPECT_FALSE(ComponentLoaded());

  // Closing a closed shared session changes nothing; reopening starts afresh
  // with the same handle.
  EXPECT_EQ(CloseSession(a), S_OK);
  EXPECT_EQ(tc().CallCount("DeviceMgr.Uninitialize"), 1u);
  EXPECT_EQ(OpenSilentSession(nullptr), a);
  EXPECT_EQ(tc().CallCount("DeviceMgr.Initialize"), 2u);
  CloseSession(a);
}

TEST_F(SessionTest, SilentFlagsHaveSessionsOfTheirOwn) {
  const DWORD withFlag = OpenSilentSession(nullptr, true);
  const DWORD withoutFlag = OpenSilentSession(nullptr, false);
  ASSERT_NE(withFlag, 0u);
  ASSERT_NE(withoutFlag, 0u);
  EXPECT_NE(withFlag, withoutFlag);
  EXPECT_EQ(tc().LiveObjects("DeviceMgr"), 2);

  // The one-argument open prefers the open flag-true session.
  EXPECT_EQ(OpenSilentSession(nullptr), withFlag);
  EXPECT_EQ(tc().CallCount("DeviceMgr.Initialize"), 2u);
  CloseSession(withFlag);
  CloseSession(withFlag);
  EXPECT_EQ(OpenSilentSession(nullptr), withoutFlag);
  EXPECT_EQ(tc().LastInitializeFlag(), false);
  CloseSession(withoutFlag);
  CloseSession(withoutFlag);
}

TEST_F(SessionTest, PrivateInteractiveSessionsAreSeparateAndShareOnesAreNot) {
  Sink* sink = new Sink;
  const DWORD p1 = OpenInteractiveSession(nullptr, sink, true);
  const DWORD p2 = OpenInteractiveSession(nullptr, sink, true);
  EXPECT_NE(p1, 0u);
  EXPECT_NE(p1, p2);
  EXPECT_EQ(tc().CallCount("DeviceMgr.Advise"), 2u);
  EXPECT_EQ(tc().LastInitializeFlag(), true);

  Sink* other = new Sink;
  const DWORD s1 = OpenInteractiveSession(nullptr, sink, false);
  const DWORD s2 = OpenInteractiveSession(nullptr, other, false);
  EXPECT_EQ(s1, s2);
  EXPECT_EQ(tc().CallCount("DeviceMgr.Advise"), 3u);
  EXPECT_EQ(tc().LastAdvisedSink(), static_cast<const void*>(static_cast<_IAD_DeviceMgrEvents*>(sink)));

  for (DWORD h : {p1, p2, s1, s2}) EXPECT_EQ(CloseSession(h), S_OK);
  EXPECT_EQ(tc().CallCount("DeviceMgr.Unadvise"), 3u);
  EXPECT_EQ(tc().HeldSinks(), 0);
  // A private session is gone after its last close.
  EXPECT_EQ(CloseSession(p1), E_HANDLE);
  EXPECT_EQ(sink->Release(), 0u);
  EXPECT_EQ(other->Release(), 0u);
}

TEST_F(SessionTest, InteractiveHandleNeedsAnOpenInteractiveSession) {
  SetLastError(0);
  EXPECT_EQ(GetInteractiveSessionHandle(), 0u);
  EXPECT_EQ(static_cast<HRESULT>(GetLastError()), E_UNEXPECTED);

  const DWORD shared = OpenInteractiveSession(nullptr, nullptr, false);
  ASSERT_NE(shared, 0u);
  EXPECT_EQ(GetInteractiveSessionHandle(), shared);
  CloseSession(shared);
  EXPECT_EQ(tc().CallCount("DeviceMgr.Uninitialize"), 0u);  // one open is left
  CloseSession(shared);
  EXPECT_EQ(tc().CallCount("DeviceMgr.Uninitialize"), 1u);
  EXPECT_EQ(GetInteractiveSessionHandle(), 0u);
}

TEST_F(SessionTest, SavingTheFilterWritesTheFileOfTheFirstOpen) {
  EXPECT_EQ(SaveSessionDeviceFilter(0), E_POINTER);
  const DWORD h = OpenSilentSession("first.xml");
  OpenSilentSession("second.xml");
  EXPECT_EQ(SaveSessionDeviceFilter(h), S_OK);
  EXPECT_EQ(tc().SavedPaths(), std::vector<std::string>{"first.xml"});
  CloseSession(h);
  CloseSession(h);
  EXPECT_EQ(SaveSessionDeviceFilter(h), E_POINTER);  // not open
}

TEST_F(SessionTest, PositiveInitializeCodeComesWithAHandle) {
  tc().Force("DeviceMgr.Initialize", S_FALSE);
  SetLastError(0);
  const DWORD h = OpenSilentSession(nullptr);
  EXPECT_NE(h, 0u);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(S_FALSE));
  CloseSession(h);

  Session session(nullptr, true);  // a positive code is no failure
  EXPECT_TRUE(session.IsBound());
}

TEST_F(SessionTest, OpeningConstructorsClearTheCallersLastError) {
  const DWORD h = OpenSilentSession(nullptr);  // the component is loaded now
  ASSERT_NE(h, 0u);
  // A failure code left by an earlier call is neither thrown nor left behind.
  SetLastError(static_cast<DWORD>(E_ACCESSDENIED));
  Session silent(nullptr);
  EXPECT_EQ(GetLastError(), 0u);
  SetLastError(static_cast<DWORD>(E_ACCESSDENIED));
  Session flagged(nullptr, false);
  EXPECT_EQ(GetLastError(), 0u);
  SetLastError(static_cast<DWORD>(E_ACCESSDENIED));
  Session interactive(nullptr, nullptr, true);
  EXPECT_EQ(GetLastError(), 0u);
  CloseSession(h);
}

TEST_F(SessionTest, FailedOpensUndoEverything) {
  tc().Force("DeviceMgr.Initialize", E_ACCESSDENIED);
  SetLastError(0);
  EXPECT_EQ(OpenSilentSession(nullptr), 0u);
  EXPECT_EQ(static_cast<HRESULT>(GetLastError()), E_ACCESSDENIED);
  EXPECT_EQ(tc().CallCount("DeviceMgr.Uninitialize"), 1u);
  EXPECT_FALSE(ComponentLoaded());
  try {
    Session session(nullptr);
    ADD_FAILURE() << "no exception";
  } catch (long code) {
    EXPECT_EQ(code, static_cast<long>(E_ACCESSDENIED));
  }

  tc().ClearFaults();
  tc().Force("DeviceMgr.Advise", E_FAIL);
  Sink* sink = new Sink;
  EXPECT_EQ(OpenInteractiveSession(nullptr, sink, true), 0u);
  EXPECT_EQ(static_cast<HRESULT>(GetLastError()), E_FAIL);
  EXPECT_EQ(sink->Release(), 0u);

  tc().ClearFaults();
  tc().GiveNoClassObject(kdtc::ClassObject::DeviceMgr);
  EXPECT_EQ(OpenSilentSession(nullptr), 0u);
  EXPECT_EQ(static_cast<HRESULT>(GetLastError()), E_UNEXPECTED);

  tc().Reset();
  tc().Force("PersistFile.Load", E_ACCESSDENIED);
  EXPECT_EQ(OpenSilentSession(nullptr), 0u);
  EXPECT_EQ(static_cast<HRESULT>(GetLastError()), E_ACCESSDENIED);
}

TEST_F(SessionTest, AttachedWrappersCloseOnlyWhenAskedTo) {
  const DWORD h = OpenSilentSession(nullptr);
  OpenSilentSession(nullptr);
  {
    Session keep(h, true);
    EXPECT_TRUE(keep.IsBound());
    IAD_DeviceMgr* manager = keep;
    EXPECT_NE(manager, nullptr);
    IAD_DeviceTypeMgr* types = keep;
    EXPECT_NE(types, nullptr);
  }
  EXPECT_EQ(detail::SessionCore::Find(h)->OpenCount(), 2);
  { Session take(h, false); }
  EXPECT_EQ(detail::SessionCore::Find(h)->OpenCount(), 1);
  { Session take(h, false); }
  EXPECT_EQ(tc().CallCount("DeviceMgr.Uninitialize"), 1u);
  Session closed(h, false);  // the session has no device manager now
  EXPECT_FALSE(closed.IsBound());
  EXPECT_EQ(static_cast<IAD_DeviceMgr*>(closed), nullptr);
}

TEST_F(SessionTest, BindAttachesOnce) {
  const DWORD h = OpenSilentSession(nullptr);
  Session unbound(DWORD{0}, true);
  EXPECT_EQ(unbound.Bind(0), E_INVALIDARG);
  EXPECT_EQ(unbound.Bind(h), S_OK);
  EXPECT_EQ(unbound.Bind(h), HRESULT_FROM_WIN32(ERROR_ALREADY_INITIALIZED));
  CloseSession(h);

  Session late(DWORD{0}, true);
  EXPECT_EQ(late.Bind(h), S_FALSE);  // the session is closed now
  EXPECT_FALSE(late.IsBound());
  EXPECT_EQ(static_cast<DWORD>(late), h);
}

TEST_F(SessionTest, UnknownHandlesAreRefused) {
  EXPECT_EQ(CloseSession(0), E_POINTER);
  EXPECT_EQ(CloseSession(0x1234567), E_HANDLE);
  EXPECT_EQ(SaveSessionDeviceFilter(0x1234567), E_HANDLE);
  Session stranger(0x1234567, false);
  EXPECT_FALSE(stranger.IsBound());
  EXPECT_EQ(static_cast<IAD_DeviceMgr*>(stranger), nullptr);
  EXPECT_EQ(static_cast<IAD_DeviceTypeMgr*>(stranger), nullptr);
  static_assert(sizeof(Session) == 6);
}

}  // namespace
}  // namespace keydepot::ad
