#include "keydepot/ad/session.h"

#include "ad/filter_core.h"
#include "ad/shared_sessions.h"

#include <new>

namespace keydepot::ad {
namespace {

// Opens core and reports as the open functions do. A private core may free
// itself when the open fails, so its handle is taken first.
DWORD OpenCore(SessionCore* core, const char* filterPath, bool flag, _IAD_DeviceMgrEvents* sink) {
  if (!core) {
    SetLastError(static_cast<DWORD>(E_POINTER));
    return 0;
  }
  const DWORD handle = core->Handle();
  const HRESULT result = core->Open(filterPath, flag, sink);
  if (result != S_OK) SetLastError(static_cast<DWORD>(result));
  return SUCCEEDED(result) ? handle : 0;
}

SessionCore* SharedCore(SessionCore*& slot) {
  if (!slot) slot = new (std::nothrow) SessionCore(false);
  return slot;
}

}  // namespace

DWORD OpenSilentSession(const char* filterPath, bool flag) {
  return OpenCore(SharedCore(SharedSessionCores().silent[flag ? 1 : 0]), filterPath, flag, nullptr);
}

DWORD OpenSilentSession(const char* filterPath) {
  SessionCore* flagged = SharedSessionCores().silent[1];
  const bool flag = flagged && flagged->DeviceManager();
  return OpenSilentSession(filterPath, flag);
}

DWORD OpenInteractiveSession(const char* filterPath, _IAD_DeviceMgrEvents* events, bool privateSession) {
  SessionCore* core = privateSession ? new (std::nothrow) SessionCore(true)
                                     : SharedCore(SharedSessionCores().interactive);
  return OpenCore(core, filterPath, true, events);
}

DWORD GetInteractiveSessionHandle() {
  SessionCore* shared = SharedSessionCores().interactive;
  if (shared && shared->DeviceManager()) return OpenInteractiveSession(nullptr, nullptr, false);
  SetLastError(static_cast<DWORD>(E_UNEXPECTED));
  return 0;
}

HRESULT CloseSession(DWORD handle) {
  if (handle == 0) return E_POINTER;
  SessionCore* core = SessionCore::Find(handle);
  if (!core) return E_HANDLE;
  return core->Close();
}

HRESULT SaveSessionDeviceFilter(DWORD handle) {
  if (handle == 0) return E_POINTER;
  SessionCore* core = SessionCore::Find(handle);
  if (!core) return E_HANDLE;
  FilterCore* filter = FilterCore::Find(core->FilterHandle());
  if (!filter) return E_POINTER;
  return filter->Save();
}

Session::Session(DWORD handle, bool noClose) : handle_(handle), noClose_(noClose) {
  SessionCore* core = SessionCore::Find(handle);
  bound_ = core && core->DeviceManager();
}

// The opening constructors clear the thread's last error first and judge the
// open by its handle, so an error left by an earlier call is never taken for
// a failure of this open.
Session::Session(const char* filterPath) {
  SetLastError(0);
  Opened(OpenSilentSession(filterPath));
}

Session::Session(const char* filterPath, bool flag) {
  SetLastError(0);
  Opened(OpenSilentSession(filterPath, flag));
}

Session::Session(const char* filterPath, _IAD_DeviceMgrEvents* events, bool privateSession) {
  SetLastError(0);
  Opened(OpenInteractiveSession(filterPath, events, privateSession));
}

void Session::Opened(DWORD handle) {
  if (handle == 0) {
    const auto error = static_cast<HRESULT>(GetLastError());
    throw static_cast<long>(FAILED(error) ? error : E_FAIL);
  }
  bound_ = true;
  handle_ = handle;
}

Session::~Session() {
  if (!noClose_ && bound_) CloseSession(handle_);
}

Session& Session::operator=(const Session& other) {
  bound_ = other.bound_;
  handle_ = other.handle_;
  noClose_ = other.noClose_;
  return *this;
}

Session::operator IAD_DeviceMgr*() const {
  SessionCore* core = SessionCore::Find(handle_);
  return core ? core->DeviceManager() : nullptr;
}

Session::operator IAD_DeviceTypeMgr*() const {
  SessionCore* core = SessionCore::Find(handle_);
  FilterCore* filter = core ? FilterCore::Find(core->FilterHandle()) : nullptr;
  return filter ? filter->DeviceTypeManager() : nullptr;
}

HRESULT Session::Bind(DWORD handle) {
  if (bound_) return HRESULT_FROM_WIN32(ERROR_ALREADY_INITIALIZED);
  if (handle == 0) return E_INVALIDARG;
  handle_ = handle;
  SessionCore* core = SessionCore::Find(handle);
  bound_ = core && core->DeviceManager();
  return bound_ ? S_OK : S_FALSE;
}

}  // namespace keydepot::ad
static_assert(sizeof(keydepot::ad::Session) == 6, "Session fields are packed to one byte");
