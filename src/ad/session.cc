#include "keydepot/ad/session.h"

#include "ad/filter_core.h"
#include "ad/shared_sessions.h"

#include <memory>

namespace keydepot::ad {
namespace {

// Opens core and reports as the open functions do.
DWORD OpenCore(const std::shared_ptr<detail::SessionCore>& core, const char* filterPath, bool flag,
               _IAD_DeviceMgrEvents* sink) {
  if (!core) {
    SetLastError(static_cast<DWORD>(E_POINTER));
    return 0;
  }
  const HRESULT result = core->Open(filterPath, flag, sink);
  if (result != S_OK) SetLastError(static_cast<DWORD>(result));
  return SUCCEEDED(result) ? core->Handle() : 0;
}

// The shared core in slot, made first when create is set and there is none.
std::shared_ptr<detail::SessionCore> SharedCore(int slot, bool create) {
  detail::SharedSessions& shared = detail::SharedSessionCores();
  std::lock_guard lock(shared.mutex);
  std::shared_ptr<detail::SessionCore>& core = shared.cores[slot];
  if (!core && create) core = detail::SessionCore::Create(false);
  return core;
}

bool IsOpen(const std::shared_ptr<detail::SessionCore>& core) { return core && core->DeviceManager(); }

}  // namespace

DWORD OpenSilentSession(const char* filterPath, bool flag) {
  return OpenCore(SharedCore(detail::SharedSessions::kSilent + (flag ? 1 : 0), true), filterPath, flag, nullptr);
}

DWORD OpenSilentSession(const char* filterPath) {
  return OpenSilentSession(filterPath, IsOpen(SharedCore(detail::SharedSessions::kSilent + 1, false)));
}

DWORD OpenInteractiveSession(const char* filterPath, _IAD_DeviceMgrEvents* events, bool privateSession) {
  return OpenCore(
      privateSession ? detail::SessionCore::Create(true) : SharedCore(detail::SharedSessions::kInteractive, true),
      filterPath, true, events);
}

DWORD GetInteractiveSessionHandle() {
  if (IsOpen(SharedCore(detail::SharedSessions::kInteractive, false)))
    return OpenInteractiveSession(nullptr, nullptr, false);
  SetLastError(static_cast<DWORD>(E_UNEXPECTED));
  return 0;
}

HRESULT CloseSession(DWORD handle) {
  if (handle == 0) return E_POINTER;
  std::shared_ptr<detail::SessionCore> core = detail::SessionCore::Find(handle);
  if (!core) return E_HANDLE;
  return core->Close();
}

HRESULT SaveSessionDeviceFilter(DWORD handle) {
  if (handle == 0) return E_POINTER;
  std::shared_ptr<detail::SessionCore> core = detail::SessionCore::Find(handle);
  if (!core) return E_HANDLE;
  std::shared_ptr<detail::FilterCore> filter = detail::FilterCore::Find(core->FilterHandle());
  if (!filter) return E_POINTER;
  return filter->Save();
}

Session::Session(DWORD handle, bool noClose) : handle_(handle), noClose_(noClose) {
  bound_ = IsOpen(detail::SessionCore::Find(handle));
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

// Lent: the core keeps its reference while the session stays open.
Session::operator IAD_DeviceMgr*() const {
  std::shared_ptr<detail::SessionCore> core = detail::SessionCore::Find(handle_);
  return core ? core->DeviceManager().get() : nullptr;
}

Session::operator IAD_DeviceTypeMgr*() const {
  std::shared_ptr<detail::SessionCore> core = detail::SessionCore::Find(handle_);
  std::shared_ptr<detail::FilterCore> filter = core ? detail::FilterCore::Find(core->FilterHandle()) : nullptr;
  return filter ? filter->DeviceTypeManager() : nullptr;
}

HRESULT Session::Bind(DWORD handle) {
  if (bound_) return HRESULT_FROM_WIN32(ERROR_ALREADY_INITIALIZED);
  if (handle == 0) return E_INVALIDARG;
  handle_ = handle;
  bound_ = IsOpen(detail::SessionCore::Find(handle));
  return bound_ ? S_OK : S_FALSE;
}

}  // namespace keydepot::ad
static_assert(sizeof(keydepot::ad::Session) == 6, "Session fields are packed to one byte");
