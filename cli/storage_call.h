// The storage functions (load, save, exists, size, delete) on one storage
// path: the target and its device, the session a device needs, the PIN, and
// failure reports that say what happened and what to do. Every operation
// throws Failure when it fails.
#pragma once

#include "command_options.h"
#include "device_lookup.h"
#include "device_session.h"
#include "failure.h"
#include "file_diagnosis.h"
#include "pin_source.h"
#include "target.h"

#include <kdplatform/wiped_bytes.h>
#include <keydepot/ad/token_objects.h>

#include <keydepot/keydepot.h>

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace kdcli {

class StorageCall {
 public:
  // What the path is used for: one item, or the whole device it names.
  enum class Use { kItem, kWholeDevice };

  // stdinTaken: standard input carries data, so it cannot answer a prompt.
  // Opens the session and resolves the path when it names a device (saying
  // which device a designation or DEV|<type>| path chose), and reads the PIN.
  StorageCall(const std::string& path, const std::string& filter, const PinOptions& pin, bool stdinTaken,
              Use use = Use::kItem);
  ~StorageCall();
  StorageCall(const StorageCall&) = delete;
  StorageCall& operator=(const StorageCall&) = delete;

  const Target& target() const { return target_; }
  // The device the target names, looked up once; null for a file, or when no
  // attached device matches.
  const FoundDevice* Device();

  // The item's bytes. A device item must be a record as keydepot save writes
  // it (a 4-byte length, then the bytes); one that is not is refused with
  // what was found and a pointer to --raw.
  void Load(IdentObj* data);
  // A device item's stored bytes whole, length included.
  void LoadRaw(IdentObj* data);
  // Load of the item `name` on the target's device (listing a device).
  void LoadItem(const std::string& name, IdentObj* data);
  void Save(IdentObj* data);
  // Saves one DER X.509 certificate as a certificate object on a PKCS#11
  // token (IAD_TokenObjects); refused (kUsage) on other storage.
  void SaveCertificate(const kdp::WipedBytes& der);
  // The key objects of the PKCS#11 key container the target names
  // (IAD_TokenObjects), private keys first; none for other storage or a name
  // that holds no key. Presents the PIN given, so call it after a load
  // that took it, never to test a PIN.
  std::vector<AD_KeyObject> ContainerKeys();
  bool Exists();
  // Fails with kNotFound when the item does not exist.
  void Delete();
  // The largest item a save accepts here: a folder's free bytes (GetSize),
  // a device's room less the 4-byte length a device item is stored with.
  DWORD Room();
  // The place the item lives, in a form the library compares: the file of a
  // file, the device path of a device item (for DEV|<type>|, the item on the
  // device chosen).
  std::string PlacePath();
  // Presents the PIN given (if any) to the device object Device() holds, for
  // work done on that object itself rather than through the storage
  // functions (listing a device's items). Throws as they fail; a refused PIN
  // is not presented again by anything of this object's.
  void PresentPin();
  // The device's identifier after a device load; empty otherwise.
  const IdentObj& deviceId() const { return record_.deviceId; }

 private:
  // Runs op on the record. A device that other programs are using may be
  // busy, or fail to answer for a while (SoftHSM2 keeps failing, or shows no
  // token, in a process that read its files while another process wrote
  // them): op is run again when it failed so (Retriable), from a new session
  // (which loads and initialises the device's module afresh), after a pause
  // of kBusyFirstPause, doubled each time, until kBusyPatience has passed.
  // Never after a PIN failure: each try would cost one of the device's. When
  // op fails because the device wants a PIN and none was given, prompts once
  // (standard input being a terminal) and retries. A thrown `long` becomes a
  // Failure.
  bool Run(const std::string& what, const std::function<bool(keydepot::CertInfo*)>& op);
  static constexpr std::chrono::milliseconds kBusyFirstPause{50};
  static constexpr std::chrono::milliseconds kBusyPatience{3000};
  // Whether the last failure may be a busy device's.
  bool Retriable();
  // Points record_.pin at the PIN read into pin_, or at none.
  void UsePin();
  // Whether the target is a device path of a PKCS#11 token.
  bool NamesPkcs11Token() const;
  // A new session, and the device looked up again in it.
  void Reopen();
  // Runs op with the record's path set to path for the call.
  bool RunAt(const std::string& path, const std::string& what, const std::function<bool(keydepot::CertInfo*)>& op);
  // The Failure for the code the last call left (KDPGetLastError).
  [[noreturn]] void Fail(const std::string& what, FileOp op);
  [[noreturn]] void FailCode(const std::string& what, FileOp op, int code);
  // The Failure for a PIN the device wants, refused, or has locked. Once the
  // PIN given was refused, every further operation fails with that Failure
  // before reaching the device: presenting it again would use up tries.
  [[noreturn]] void FailPin(const std::string& what, int code);
  [[noreturn]] void ThrowPinFailure(const std::string& what, int code);
  // Refuses bytes read from a device item that are not a record.
  [[noreturn]] void FailNotARecord(const std::string& what, const std::string& itemPath);
  // Why the device refuses the item's name, as " (...)"; the rules for item
  // names when the name is not to blame or not known; "" for a file.
  std::string NameFault() const;
  // The device path of the target's item, for the calls that take only
  // device paths; fails when there is none.
  std::string ItemDevicePath(const std::string& what);
  // The item's name on the device: the target's path after the device's.
  std::string ItemName(const std::string& what, const FoundDevice& device);
  std::string DeviceLabel();
  void AnnounceDevice(Use use);

  Target target_;
  std::string filter_;
  bool stdinTaken_;
  bool savedPin_;  // the PIN is the one saved for the device
  std::optional<Failure> refused_;
  std::optional<DeviceSession> session_;
  std::optional<std::optional<FoundDevice>> device_;
  // The PIN, and the copy of it the library's CertInfo::pin takes as a
  // std::string: reserved once so that it never moves, wiped when the call
  // ends (~StorageCall).
  kdp::WipedBytes pin_;
  std::string pinText_;
  keydepot::CertInfo record_;
};

// ArePathsEqual on two place paths (PlacePath).
bool SamePlace(const std::string& a, const std::string& b, bool compareSubNames);

}  // namespace kdcli
