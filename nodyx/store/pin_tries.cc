#include "pin_tries.h"

#include "names.h"
#include "base/result_codes.h"

#include "kdplatform/file_io.h"

#include <atomic>
#include <cstring>
#include <system_error>
#include <thread>

namespace nodyx {

namespace {

constexpr char kFileName[] = "/pin-tries";
std::atomic<std::uint64_t> g_writes{0};
constexpr char kMagic[4] = {'N', 'X', 'P', 'T'};
constexpr std::size_t kRecordBytes = 20;
// What a damaged file counts: more than any limit.
constexpr std::uint32_t kDamagedCount = 0xFFFFFFFFu;

void Put32(std::uint8_t* p, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(value >> (8 * i));
}

std::uint32_t Get32(const std::uint8_t* p) {
  return p[0] | p[1] << 8 | p[2] << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

PinTries Decode(const std::uint8_t* bytes, std::size_t size) {
  PinTries tries;
  if (size == 0) return tries;
  const bool whole = size >= kRecordBytes && std::memcmp(bytes, kMagic, sizeof kMagic) == 0 &&
                     Get32(bytes + 4) == ~Get32(bytes + 8) && Get32(bytes + 12) == ~Get32(bytes + 16);
  if (!whole) return {kDamagedCount, kDamagedCount, true};
  tries.user = Get32(bytes + 4);
  tries.admin = Get32(bytes + 12);
  return tries;
}

HRESULT FromWin32(DWORD error) { return error == 0 ? S_OK : HRESULT_FROM_WIN32(error); }

// The counts file of one device, open and locked while the object lives.
class LockedTries {
 public:
  // With `create`, a missing file is made (owner-only); without, a missing
  // file leaves the object without one, which reads as no wrong PIN.
  // *info (when given) describes the file as it was opened, before the lock.
  DWORD Open(const std::string& path, bool create, kdp::FileInfo* info = nullptr) {
    const unsigned flags = kdp::kOpenRead | kdp::kOpenNoFollow | (create ? kdp::kOpenWrite | kdp::kOpenCreate : 0u);
    const DWORD error = kdp::OpenFile(path, flags, &file_, kdp::Access::kOwnerOnly, info);
    if (error == ERROR_FILE_NOT_FOUND && !create) return 0;
    if (error != 0) return error;
    return kdp::LockFile(file_.Get());
  }

  DWORD Read(PinTries* tries) {
    *tries = PinTries();
    if (!file_.IsOpen()) return 0;
    std::uint8_t bytes[kRecordBytes];
    std::size_t done = 0;
    if (const DWORD error = kdp::ReadAll(file_.Get(), bytes, sizeof bytes, &done)) return error;
    *tries = Decode(bytes, done);
    return 0;
  }

  DWORD Sync() { return kdp::SyncFile(file_.Get()); }
  DWORD Unlock() { return kdp::UnlockFile(file_.Get()); }

  // With `sync`, returns once the counts are on the disk.
  DWORD Write(const PinTries& tries, bool sync) {
    std::uint8_t bytes[kRecordBytes];
    std::memcpy(bytes, kMagic, sizeof kMagic);
    Put32(bytes + 4, tries.user);
    Put32(bytes + 8, ~tries.user);
    Put32(bytes + 12, tries.admin);
    Put32(bytes + 16, ~tries.admin);
    // Counted before the bytes change, so that a check that read the old
    // counts after this cannot be taken as current.
    g_writes.fetch_add(1, std::memory_order_acq_rel);
    if (const DWORD error = kdp::SeekFile(file_.Get(), 0)) return error;
    if (const DWORD error = kdp::WriteAll(file_.Get(), bytes, sizeof bytes)) return error;
    return sync ? kdp::SyncFile(file_.Get()) : 0;
  }

 private:
  kdp::FileHandle file_;  // closing it gives the lock up
};

// Runs `work` on the caller's thread while `file` is flushed on a thread of
// its own, and returns the flush's result once both are done: the flush
// waits on the disk, the work on the processor. Without a thread to spare,
// the flush comes first.
template <typename Work>
DWORD SyncWhile(LockedTries& file, Work&& work) {
  DWORD error = 0;
  std::jthread flusher;
  try {
    flusher = std::jthread([&error, &file] { error = file.Sync(); });
  } catch (const std::system_error&) {
    error = file.Sync();
  }
  work();
  if (flusher.joinable()) flusher.join();
  return error;
}

std::string TriesPath(const DeviceStore& store, const std::string& folder) {
  return store.root() + "/" + folder + kFileName;
}

}  // namespace

HRESULT ReadPinTries(const DeviceStore& store, const std::string& folder, PinTries* tries,
                     std::optional<kdp::FileVersion>* version) {
  if (version != nullptr) version->reset();
  if (!IsValidStoreName(folder)) return E_INVALIDARG;
  LockedTries file;
  kdp::FileInfo info;
  if (const DWORD error = file.Open(TriesPath(store, folder), false, &info)) return FromWin32(error);
  if (const DWORD error = file.Read(tries)) return FromWin32(error);
  // Taken before the lock: a write in between makes the file differ from it
  // later, which costs a full read, never a count missed.
  if (version != nullptr && info.version.changed != 0 && kdp::IsSettled(info.version)) *version = info.version;
  return S_OK;
}

bool PinTriesUnchanged(const DeviceStore& store, const std::string& folder, const kdp::FileVersion& version) {
  kdp::FileInfo info;
  return IsValidStoreName(folder) && kdp::QueryFile(TriesPath(store, folder), &info) == 0 &&
         info.kind == kdp::FileKind::kFile && info.version == version;
}

HRESULT CheckPinCounted(const DeviceStore& store, const std::string& folder, PinRole role, const PinHash& stored,
                        std::uint32_t limit, std::string_view pin) {
  if (!IsValidStoreName(folder)) return E_INVALIDARG;
  const std::string path = TriesPath(store, folder);
  bool matches = false;
  {
    LockedTries file;
    PinTries tries;
    if (const DWORD error = file.Open(path, true)) return FromWin32(error);
    if (const DWORD error = file.Read(&tries)) return FromWin32(error);
    if (tries.Of(role) >= limit) return kPinLocked;
    ++tries.Of(role);
    if (const DWORD error = file.Write(tries, false)) return FromWin32(error);
    // The count is written: other guessers may read it (and add to it) while
    // it goes to the disk. The answer waits for the disk; the derivation
    // need not.
    if (const DWORD error = file.Unlock()) return FromWin32(error);
    if (const DWORD error = SyncWhile(file, [&] { matches = PinMatches(pin, stored); })) return FromWin32(error);
  }
  if (!matches) return kWrongPin;
  // The right PIN: its count starts again. Not synced: a crash that loses
  // this write leaves one try counted against the PIN, never one too few.
  // Should the write fail, the PIN was still right.
  LockedTries file;
  PinTries tries;
  if (file.Open(path, true) == 0 && file.Read(&tries) == 0) {
    tries.Of(role) = 0;
    file.Write(tries, false);
  }
  return S_OK;
}

std::uint64_t PinTriesWrites() { return g_writes.load(std::memory_order_acquire); }

HRESULT ResetPinTries(const DeviceStore& store, const std::string& folder, bool user, bool admin) {
  if (!IsValidStoreName(folder)) return E_INVALIDARG;
  LockedTries file;
  PinTries tries;
  if (const DWORD error = file.Open(TriesPath(store, folder), true)) return FromWin32(error);
  if (const DWORD error = file.Read(&tries)) return FromWin32(error);
  if (user) tries.user = 0;
  if (admin) tries.admin = 0;
  return FromWin32(file.Write(tries, true));
}

}  // namespace nodyx
