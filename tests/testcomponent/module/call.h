// Helpers every object of the test component uses: counting the object as
// live, entering a call (counted, logged, matched against forced results),
// and writing texts into caller buffers.
#pragma once

#include "kdplatform/win32.h"

#include "testcomponent/engine.h"

#include <optional>
#include <string>
#include <string_view>

namespace kdtc::module {

// Counts its owner in the live objects of the control library for as long as
// the owner exists.
class LiveToken {
 public:
  explicit LiveToken(const char* kind) : kind_(kind) { engine::ObjectCreated(kind_); }
  ~LiveToken() { engine::ObjectDestroyed(kind_); }
  LiveToken(const LiveToken&) = delete;
  LiveToken& operator=(const LiveToken&) = delete;

 private:
  const char* kind_;
};

// One call into the component.
class CallScope {
 public:
  explicit CallScope(std::string_view name, engine::DeviceKey device = 0, std::string_view arg = {})
      : forced_(engine::Enter({name, device, arg})) {}

  // A forced failure: the call returns Result() at once, doing nothing.
  bool Failed() const { return forced_ && FAILED(*forced_); }
  HRESULT Result() const { return *forced_; }
  // The call's result after its work: a failure stands; a forced code
  // replaces a success.
  HRESULT Finish(HRESULT normal) const { return FAILED(normal) || !forced_ ? normal : *forced_; }

 private:
  std::optional<HRESULT> forced_;
};

// Writes text and its terminator into a caller buffer of `size` bytes. The
// control library refuses texts that would not fit, so the insufficient-
// buffer result only guards against a mistake here.
inline HRESULT CopyText(const std::string& text, char* out, std::size_t size) {
  if (!out) return E_POINTER;
  if (text.size() >= size) return HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER);
  text.copy(out, text.size());
  out[text.size()] = '\0';
  return S_OK;
}

}  // namespace kdtc::module
