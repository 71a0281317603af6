#include "pin_state.h"
#include "kdplatform/win32.h"

namespace kdcli {

namespace {

std::string Tries(DWORD count) { return std::to_string(count) + (count == 1 ? " try" : " tries"); }

Json Count(DWORD count) { return count == AD_PIN_TRIES_UNKNOWN ? Json(nullptr) : Json(count); }

}  // namespace

PinState PinStateOf(IAD_Device* device) {
  PinState state;
  keydepot::ComPtr<IAD_PinStatus> status;
  if (device == nullptr || FAILED(device->QueryInterface(IID_IAD_PinStatus, status.put_void())) || !status ||
      FAILED(status->GetPinStatus(&state.triesLeft, &state.tryLimit, &state.flags))) {
    return PinState();
  }
  state.told = true;
  return state;
}

std::string TriesLeftText(const PinState& state) {
  if (!state.told || (state.flags & AD_PIN_NOT_SET) != 0) return "";
  if (state.Locked()) return "no tries left: the device is locked now";
  if (state.triesLeft != AD_PIN_TRIES_UNKNOWN) return Tries(state.triesLeft) + " left";
  if ((state.flags & AD_PIN_FINAL_TRY) != 0) return "1 try left";
  return (state.flags & AD_PIN_COUNT_LOW) != 0 ? "few tries left" : "";
}

std::string PinStateLine(const PinState& state) {
  if (!state.told) return "not told by the device";
  if ((state.flags & AD_PIN_NOT_SET) != 0) return "none (every PIN is taken)";
  if (state.Locked()) {
    return state.tryLimit != AD_PIN_TRIES_UNKNOWN ? "locked after " + std::to_string(state.tryLimit) + " wrong PINs"
                                                  : "locked after too many wrong PINs";
  }
  if (state.triesLeft != AD_PIN_TRIES_UNKNOWN && state.tryLimit != AD_PIN_TRIES_UNKNOWN) {
    return std::to_string(state.triesLeft) + " of " + Tries(state.tryLimit) + " left";
  }
  const std::string left = TriesLeftText(state);
  return left.empty() ? "no wrong PIN reported" : left;
}

Json PinStateJson(const PinState& state) {
  if (!state.told) return nullptr;
  return {{"set", (state.flags & AD_PIN_NOT_SET) == 0},
          {"locked", state.Locked()},
          {"tries_left", Count(state.triesLeft)},
          {"try_limit", Count(state.tryLimit)},
          {"count_low", (state.flags & AD_PIN_COUNT_LOW) != 0},
          {"final_try", (state.flags & AD_PIN_FINAL_TRY) != 0}};
}

}  // namespace kdcli
