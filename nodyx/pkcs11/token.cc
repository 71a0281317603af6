#include "token.h"

#include "kdcrypto/crypto.h"
#include "kdplatform/printable_text.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <thread>

namespace nodyx::pkcs11 {

std::vector<std::uint8_t> TokenId(const CK_TOKEN_INFO& info) {
  std::array<unsigned char, sizeof info.manufacturerID + sizeof info.model + sizeof info.serialNumber> fields{};
  auto* at = std::copy(std::begin(info.manufacturerID), std::end(info.manufacturerID), fields.begin());
  at = std::copy(std::begin(info.model), std::end(info.model), at);
  std::copy(std::begin(info.serialNumber), std::end(info.serialNumber), at);
  std::uint8_t digest[kdcrypto::kSha256Bytes];
  static_assert(kTokenIdBytes <= sizeof digest);
  if (!kdcrypto::Sha256(fields, digest)) return {};
  return {digest, digest + kTokenIdBytes};
}

std::string FieldText(const CK_UTF8CHAR* field, std::size_t size) {
  std::string_view padded(reinterpret_cast<const char*>(field), size);
  const auto end = padded.find_last_not_of(std::string_view(" \0", 2));
  std::string text = kdp::PrintableText(padded.substr(0, end == std::string_view::npos ? 0 : end + 1));
  for (char& c : text) {
    if (c == '\\' || c == '|') c = '_';
  }
  return text;
}

namespace {

// Answers that say the slot holds no usable token, rather than that the
// token could not answer just now.
bool NoToken(CK_RV rv) {
  return rv == CKR_TOKEN_NOT_PRESENT || rv == CKR_TOKEN_NOT_RECOGNIZED || rv == CKR_DEVICE_REMOVED ||
         rv == CKR_SLOT_ID_INVALID || rv == CKR_CRYPTOKI_NOT_INITIALIZED || rv == CKR_HOST_MEMORY;
}

template <std::size_t N>
bool Blank(const CK_UTF8CHAR (&field)[N]) {
  return std::all_of(std::begin(field), std::end(field), [](CK_UTF8CHAR c) { return c == ' ' || c == 0; });
}

}  // namespace

CK_RV ReadTokenInfo(const Module& module, CK_SLOT_ID slot, CK_TOKEN_INFO* info) {
  CK_RV rv = module.f().C_GetTokenInfo(slot, info);
  auto pause = kTokenInfoFirstPause;
  for (std::chrono::milliseconds waited{0}; waited < kTokenInfoPatience; waited += pause, pause *= 2) {
    const bool unsure = rv == CKR_OK ? Blank(info->label) && Blank(info->serialNumber) : !NoToken(rv);
    if (!unsure) break;
    std::this_thread::sleep_for(pause);
    CK_TOKEN_INFO again{};
    const CK_RV next = module.f().C_GetTokenInfo(slot, &again);
    // The same blank answer twice is the token's own.
    const bool same = rv == CKR_OK && next == CKR_OK && std::memcmp(info, &again, sizeof again) == 0;
    *info = again;
    rv = next;
    if (same) break;
  }
  return rv;
}

bool ReadToken(const std::shared_ptr<const Module>& module, CK_SLOT_ID slot, Token* token) {
  // An empty slot fails here too (CKR_TOKEN_NOT_PRESENT).
  CK_TOKEN_INFO info{};
  if (ReadTokenInfo(*module, slot, &info) != CKR_OK || (info.flags & CKF_TOKEN_INITIALIZED) == 0) return false;
  auto id = TokenId(info);
  if (id.empty()) return false;
  *token = {module,        slot,
            std::move(id), FieldText(info.label, sizeof info.label),
            info.flags,    std::chrono::steady_clock::now()};
  return true;
}

SlotDetails ReadSlot(const Module& module, CK_SLOT_ID slot) {
  CK_SLOT_INFO info{};
  if (module.f().C_GetSlotInfo(slot, &info) != CKR_OK) return {};
  return {FieldText(info.slotDescription, sizeof info.slotDescription), (info.flags & CKF_HW_SLOT) != 0};
}

std::vector<SlotRef> ListSlots(const ModuleSet& modules) {
  std::vector<SlotRef> listed;
  for (const auto& module : modules.modules()) {
    std::vector<CK_SLOT_ID> slots;
    CK_RV rv = CKR_BUFFER_TOO_SMALL;
    // The list may grow between the two calls when a reader is plugged in.
    for (int attempt = 0; attempt < 3 && rv == CKR_BUFFER_TOO_SMALL; ++attempt) {
      CK_ULONG count = 0;
      rv = module->f().C_GetSlotList(CK_TRUE, nullptr, &count);
      if (rv != CKR_OK) break;
      slots.resize(count);
      rv = count == 0 ? CKR_OK : module->f().C_GetSlotList(CK_TRUE, slots.data(), &count);
      if (rv == CKR_OK) slots.resize(count);
    }
    if (rv != CKR_OK) continue;
    for (const CK_SLOT_ID slot : slots) listed.push_back({module, slot});
  }
  return listed;
}

std::vector<Token> ScanTokens(const ModuleSet& modules) {
  std::vector<Token> tokens;
  for (const auto& [module, slot] : ListSlots(modules)) {
    Token token;
    if (ReadToken(module, slot, &token)) tokens.push_back(std::move(token));
  }
  return tokens;
}

bool FindTokenLabel(const std::uint8_t* id, std::size_t size, std::string* label) {
  for (auto& token : ScanTokens(*ModuleSet::Acquire())) {
    if (std::equal(token.id.begin(), token.id.end(), id, id + size)) {
      *label = std::move(token.label);
      return true;
    }
  }
  return false;
}

bool SameToken(const Token& a, const Token& b) { return a.module == b.module && a.slot == b.slot && a.id == b.id; }

}  // namespace nodyx::pkcs11
