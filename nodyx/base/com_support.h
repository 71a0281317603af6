// Helpers shared by the component's COM objects.
#pragma once

#include "kdplatform/com_ptr.h"
#include "kdplatform/win32.h"

#include <exception>
#include <new>

namespace nodyx {

using kdp::ComPtr;

// Runs body, which returns an HRESULT, and turns any exception into a
// failure code: no exception ever leaves a COM call of this component.
template <class Body>
HRESULT Guarded(Body&& body) noexcept {
  try {
    return body();
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  } catch (...) {
    return E_FAIL;
  }
}

// Creates a ComObject and hands out the requested interface; the new
// object is released again when the query fails, so nothing leaks.
template <class Object, class... Args>
HRESULT CreateAndQuery(REFIID iid, void** out, Args&&... args) noexcept {
  if (out == nullptr) return E_POINTER;
  *out = nullptr;
  return Guarded([&] {
    Object* object = new Object(static_cast<Args&&>(args)...);
    const HRESULT hr = object->QueryInterface(iid, out);
    object->Release();
    return hr;
  });
}

}  // namespace nodyx

// An unused slot that keeps the numbering of an interface.
#define NODYX_RESERVED_SLOT(n) \
  HRESULT STDMETHODCALLTYPE Reserved##n() override { return E_NOTIMPL; }
