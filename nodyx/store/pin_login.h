// The login state one session keeps for one software-token device, shared
// by every device object the session's device manager hands out for it, as
// a card keeps its login for its session.
//
// It holds no PIN: after the right PIN was derived and compared (through
// CheckPinCounted), it keeps the stored hash that PIN matched and a keyed
// digest of the PIN (SHA-256 of a 32-byte random key made for that login,
// then the PIN), all in wiped memory. A later PresentPIN whose PIN
// gives the same digest against the same stored hash is the same PIN and
// costs no derivation. The state ends (every digest wiped) on a wrong PIN,
// on a lock, and when the session closes (DeviceMgr::Uninitialize or its
// end); a stored hash that changed since (a new PIN set by nodyx-admin or
// another process) never matches the one kept.
//
// It also remembers the version of the device's pin-tries file last found
// counting no wrong PIN, so that checking the lock is one look at the file
// while nobody writes it; and when a lock check last found no wrong PIN: for
// kCleanCheckTrusted after it, and while this process has written no count
// (PinTriesWrites), the session's objects take that answer without looking.
// A lock made through this process is so seen at once; one made by another
// process within that time is seen at the first check after it, as if the
// operation between had come first.
//
// Each acceptance has a generation number: a device object keeps the one
// its PresentPIN was given, and it opens items only while that generation
// is still the state's, for the same stored hash.
//
// Thread rules: any thread; calls are serialised by the object's lock.
#pragma once

#include "kdplatform/file_io.h"
#include "kdplatform/wiped_bytes.h"
#include "pin_hash.h"

#include <chrono>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string_view>

namespace nodyx {

class PinLogin {
 public:
  // Generation 0 is never accepted.
  static constexpr std::uint64_t kNone = 0;

  // The generation `pin` was accepted under, when the state holds it against
  // `stored`; else kNone.
  std::uint64_t Matching(const PinHash& stored, std::string_view pin) const;
  // Records `pin` as accepted against `stored` (it was checked just now)
  // and returns its new generation; kNone when no random key could be made.
  std::uint64_t Accept(const PinHash& stored, std::string_view pin);
  // True while `generation` is the accepted one, for `stored`.
  bool Holds(std::uint64_t generation, const PinHash& stored) const;
  // Ends the state: no generation before it is accepted any more.
  void End();

  // The version of the device's pin-tries file last read with no wrong user
  // PIN counted, when it had settled; what the session's objects check the
  // lock against before they read the file again.
  std::optional<kdp::FileVersion> CleanTries() const;
  void SetCleanTries(std::optional<kdp::FileVersion> version);

  // When a lock check begins: the time and this process's count of writes.
  struct CheckMoment {
    std::chrono::steady_clock::time_point at;
    std::uint64_t writes = 0;
  };
  static constexpr std::chrono::milliseconds kCleanCheckTrusted{2};
  static CheckMoment Now();
  // Whether a check that began at `moment` may take the last clean answer.
  bool CleanAt(const CheckMoment& moment) const;
  // Records that the check begun at `moment` found no wrong PIN.
  void NoteClean(const CheckMoment& moment);

 private:
  bool HoldsLocked(std::uint64_t generation, const PinHash& stored) const;

  mutable std::mutex mutex_;
  std::uint64_t generation_ = kNone;  // kNone while nothing is accepted
  std::uint64_t last_ = kNone;        // the last generation handed out
  kdp::WipedBytes key_;               // random, made anew at each Accept
  kdp::WipedBytes digest_;            // of the accepted PIN under key_
  kdp::WipedBytes stored_;            // the hash it matched: salt, iterations, hash
  std::optional<kdp::FileVersion> cleanTries_;
  std::optional<CheckMoment> cleanAt_;
};

}  // namespace nodyx
