#include "ad/session_access.h"

#include "ad/session_core.h"
#include "tools2/tools2.h"
#include "kdplatform/return_if_failed.h"

namespace keydepot::detail {

SessionManager SessionDeviceManager(DWORD session, HRESULT* error) {
  const HRESULT noSession = TooErr2HResult(TOOERR_NO_SESSION);
  if (session == 0) {
    *error = noSession;
    return {};
  }
  const std::shared_ptr<SessionCore> core = SessionCore::Find(session);
  if (!core) {
    *error = E_HANDLE;
    return {};
  }
  SessionManager held;
  held.manager = core->DeviceManager(held.creator);
  *error = held.manager ? S_OK : noSession;
  return held;
}

HRESULT OpenDeviceEnumerator(IAD_DeviceMgr* manager, ComPtr<IAD_EnumDevice>* out) {
  ComPtr<IUnknown> collection;
  HRESULT hr = manager->EnumDevices(collection.put());
  KD_RETURN_IF_FAILED(hr);
  if (!collection) return E_UNEXPECTED;
  ComPtr<IAD_EnumDevice> enumerator;
  collection.As(&enumerator);  // only the pointer counts
  if (!enumerator) return E_NOINTERFACE;
  hr = enumerator->Reset();
  KD_RETURN_IF_FAILED(hr);
  *out = std::move(enumerator);
  return hr;
}

}  // namespace keydepot::detail
