// A SoftHSM2 token of the benchmark's own, reached through SoftHSM2's
// PKCS#11 module loaded by p11-kit: the peer keydepot's token operations are
// measured against. The token lives in a folder of its own with its own
// SOFTHSM2_CONF (set for the whole process), so the machine's tokens are
// never touched. Data objects made here are private token objects.
//
// MakeSoftHsmToken once in main(); a SoftHsmToken loads and initialises the
// module for as long as it lives, so keep one per benchmark (the library,
// when it uses the same module, initialises and finalises it too).
// Threads: one thread at a time.
#pragma once

#include <p11-kit/pkcs11.h>

#include <filesystem>
#include <vector>

namespace kdbench {

// Makes the token (label SoftHsmToken::kLabel, user PIN kPin) in `folder`
// with softhsm2-util; false when that fails (SoftHSM2 not installed).
bool MakeSoftHsmToken(const std::filesystem::path& folder);

class SoftHsmToken {
 public:
  static constexpr char kLabel[] = "Bench";
  static constexpr char kPin[] = "2468";

  // Loads and initialises the module and finds the token; ok() says
  // whether that worked.
  SoftHsmToken();
  ~SoftHsmToken();
  SoftHsmToken(const SoftHsmToken&) = delete;
  SoftHsmToken& operator=(const SoftHsmToken&) = delete;

  bool ok() const noexcept { return ok_; }
  CK_FUNCTION_LIST* Functions() const noexcept { return f_; }

  // The token's slot, found by its serial number as an application would
  // (slot numbers change as readers come and go).
  bool Locate(CK_SLOT_ID* slot) const;
  // A read-write session with the user logged in; false on failure (the
  // session, if opened, is closed again).
  bool OpenSession(CK_SESSION_HANDLE* session) const;

  // The data objects labelled `label`.
  std::vector<CK_OBJECT_HANDLE> Find(CK_SESSION_HANDLE session, const char* label) const;
  bool Create(CK_SESSION_HANDLE session, const char* label, const std::vector<unsigned char>& value,
              CK_OBJECT_HANDLE* object) const;
  // The object's value, read as applications do: its size first, then the bytes.
  bool ReadValue(CK_SESSION_HANDLE session, CK_OBJECT_HANDLE object, std::vector<unsigned char>* value) const;

 private:
  CK_FUNCTION_LIST* f_ = nullptr;
  CK_UTF8CHAR serial_[16] = {};
  bool ok_ = false;
};

}  // namespace kdbench
