// A token in a slot of a PKCS#11 module: what the component shows of it as
// a device, and how the tokens of the modules are found.
#pragma once

#include "module_set.h"

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace nodyx::pkcs11 {

inline constexpr std::size_t kTokenIdBytes = 16;

struct Token {
  std::shared_ptr<const Module> module;
  CK_SLOT_ID slot = 0;
  std::vector<std::uint8_t> id;  // TokenId
  std::string label;             // the device's display name
  CK_FLAGS tokenFlags = 0;       // as the token reported them when found
  std::chrono::steady_clock::time_point readAt{};
};

// What the slot (the reader) says of itself; read only when asked for, as
// some modules answer slowly.
struct SlotDetails {
  std::string description;  // the device's system name; empty when unknown
  bool hardware = false;    // CKF_HW_SLOT: a reader or a USB token
};

// Identifier bytes: the first kTokenIdBytes bytes of SHA-256 over the
// token's manufacturer, model and serial number fields as the token reports
// them. The same token gives the same bytes in any slot, reader or machine.
std::vector<std::uint8_t> TokenId(const CK_TOKEN_INFO& info);

// A blank-padded PKCS#11 text field without its padding, cleaned as
// kdp::PrintableText cleans text for a terminal; '\' and '|', which would
// break device paths, become '_' too.
std::string FieldText(const CK_UTF8CHAR* field, std::size_t size);

// C_GetTokenInfo, asked again for a while when the answer may be a moment's:
// a failure other than "no token here", or a token with neither label nor
// serial number (until two answers in a row agree). A token that other
// programs are using may answer so for a moment (SoftHSM2 fails with
// CKR_GENERAL_ERROR, or tells blank fields, while another process rewrites
// its files), and a token left out of a listing, or listed under another
// identifier, would be reported as missing. Waits kTokenInfoFirstPause, then
// twice as long each time, until kTokenInfoPatience has passed; the last
// answer counts.
inline constexpr std::chrono::milliseconds kTokenInfoFirstPause{10};
inline constexpr std::chrono::milliseconds kTokenInfoPatience{600};
CK_RV ReadTokenInfo(const Module& module, CK_SLOT_ID slot, CK_TOKEN_INFO* info);

// The token in the slot now (ReadTokenInfo); false when the slot holds no
// initialised token (an uninitialised token has no PIN and can hold nothing).
bool ReadToken(const std::shared_ptr<const Module>& module, CK_SLOT_ID slot, Token* token);

SlotDetails ReadSlot(const Module& module, CK_SLOT_ID slot);

// A slot that holds a token, of any kind.
struct SlotRef {
  std::shared_ptr<const Module> module;
  CK_SLOT_ID slot = 0;
};

// Every slot with a token, in module order, then in the order of the
// module's slot list. Cheap: one list per module, no token is asked.
std::vector<SlotRef> ListSlots(const ModuleSet& modules);

// The initialised tokens of those slots, in the same order.
std::vector<Token> ScanTokens(const ModuleSet& modules);

// The label of an attached token with this identifier, from the modules of
// the process (ModuleSet::Acquire); false when none has it.
bool FindTokenLabel(const std::uint8_t* id, std::size_t size, std::string* label);

// Same module, slot and identifier.
bool SameToken(const Token& a, const Token& b);

}  // namespace nodyx::pkcs11
