// Wrong PINs of the store's devices, counted as a card counts them.
//
// A device folder may hold the file "pin-tries": how many wrong PINs in a
// row were given for the device's user PIN and, apart, for its admin PIN. A
// PIN is checked only through CheckPinCounted, which first counts the try as
// a wrong one and gives no answer before that count is on the disk: a
// process killed while it checks, or one that never gets to give its answer,
// has paid for its guess all the same. The right PIN clears its count again.
// Once a count has reached the device's limit (DeviceRecord::pinTryLimit)
// that PIN is locked: no PIN of that kind, right or wrong, is looked at until
// the count is reset (nodyx-admin unblock).
//
// The file is rewritten in place, under a lock on the file itself
// (kdp::LockFile) that every reader and writer takes, so processes and
// threads that guess at once each count. The lock is held while a count is
// read and written, never while a hash is derived. The counted try is
// flushed to the disk on a short-lived thread while the caller's thread
// derives the hash; the answer is given only once the flush is done, and the
// thread never outlives the call.
//
// Layout, 20 bytes: "NXPT", the user count, its complement, the admin count,
// its complement (each unsigned 32-bit, little-endian). A file too short,
// or whose magic or complements do not match (a torn or damaged write), is
// damaged and locks both PINs; bytes after the 20th are ignored. A missing
// or empty file (a crash right after it was made) counts no wrong PIN.
//
// Thread rules: any thread, any process; every call opens the file anew.
#pragma once

#include "device_store.h"
#include "pin_hash.h"

#include "kdplatform/file_io.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace nodyx {

enum class PinRole { kUser, kAdmin };

struct PinTries {
  std::uint32_t user = 0;
  std::uint32_t admin = 0;
  bool damaged = false;  // the file was damaged: both counts are at their maximum

  std::uint32_t& Of(PinRole role) { return role == PinRole::kUser ? user : admin; }
  std::uint32_t Of(PinRole role) const { return role == PinRole::kUser ? user : admin; }
};

// Tries a PIN has left with `wrong` wrong PINs counted: 0 when it is locked.
inline std::uint32_t TriesLeft(std::uint32_t wrong, std::uint32_t limit) { return wrong >= limit ? 0 : limit - wrong; }

// The counts of device `folder`; none when it keeps no file. *version (when
// given) receives the file's version when it had settled (kdp::IsSettled),
// else nothing: while the file still has that version, its counts are the
// ones read (PinTriesUnchanged, one look at the file instead of an open, a
// lock and a read).
HRESULT ReadPinTries(const DeviceStore& store, const std::string& folder, PinTries* tries,
                     std::optional<kdp::FileVersion>* version = nullptr);
bool PinTriesUnchanged(const DeviceStore& store, const std::string& folder, const kdp::FileVersion& version);

// Checks `pin` against `stored`, the PIN of `role` on device `folder`, whose
// limit is `limit`. S_OK for the right PIN (its count is cleared), kWrongPin
// for a wrong one (counted), kPinLocked when the count had reached the
// limit. Any other failure means the try could not be counted (or not made
// durable); no answer about the PIN is then given.
HRESULT CheckPinCounted(const DeviceStore& store, const std::string& folder, PinRole role, const PinHash& stored,
                        std::uint32_t limit, std::string_view pin);

// How many times this process has written a device's counts, any device:
// a cached lock check taken before a write is not trusted after it.
std::uint64_t PinTriesWrites();

// Clears the counts of the PINs named (a damaged file is written whole again).
HRESULT ResetPinTries(const DeviceStore& store, const std::string& folder, bool user, bool admin);

}  // namespace nodyx
