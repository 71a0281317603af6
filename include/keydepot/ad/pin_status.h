// The PIN state of a device: an interface that a device may answer to
// QueryInterface beside IAD_Device, for telling a user how many PIN tries
// are left after a PIN was refused, or that the device is locked.
//
// Optional: a device that keeps no such state answers E_NOINTERFACE, and a
// device that knows only part of it says "unknown" for the rest. The flags
// are those a PKCS#11 token reports for its user PIN (CKF_USER_PIN_*), so a
// token's state passes through unchanged; a device that counts its tries
// itself (the software token) also gives the number left and its limit.
//
// Reading the state costs no try and needs no PIN. The state can change at
// any moment (another process presenting a PIN): it is for messages, never
// for deciding whether to present one.
#pragma once

#include "keydepot/ad/component.h"

inline constexpr IID IID_IAD_PinStatus = {0xC4A9ADA7, 0xF5B6, 0x4357, {0xBE, 0x09, 0x9C, 0x96, 0xE0, 0xA4, 0x91, 0xBC}};

// A count the device does not know.
inline constexpr DWORD AD_PIN_TRIES_UNKNOWN = 0xFFFFFFFF;

// Flags of IAD_PinStatus::GetPinStatus.
inline constexpr DWORD AD_PIN_NOT_SET = 0x1;    // the device asks for no PIN: every PIN is accepted
inline constexpr DWORD AD_PIN_COUNT_LOW = 0x2;  // a wrong PIN was given since the last right one
inline constexpr DWORD AD_PIN_FINAL_TRY = 0x4;  // one more wrong PIN locks the device
inline constexpr DWORD AD_PIN_LOCKED = 0x8;     // no PIN is accepted until the device is unblocked

KDP_INTERFACE IAD_PinStatus : public IUnknown {
  // 3: *triesLeft: the PINs the device still takes before it locks (0 when
  // locked); *tryLimit: the wrong PINs in a row that lock it; either may be
  // AD_PIN_TRIES_UNKNOWN. *flags: AD_PIN_* bits. All three pointers must be
  // given (E_POINTER).
  virtual HRESULT STDMETHODCALLTYPE GetPinStatus(DWORD * triesLeft, DWORD * tryLimit, DWORD * flags) = 0;
};

KDP_DECLARE_IID(IAD_PinStatus, IID_IAD_PinStatus);
