#include "temporary_name.h"

#include "kdplatform/errors.h"

#include "folders.h"

#include <atomic>
#include <chrono>
#include <cstring>
#include <iterator>
#include <random>

namespace kdp {
namespace {

constexpr std::string_view kTemporaryPrefix = ".kdtmp-";
constexpr std::size_t kTemporaryRandomChars = 6;

// A leftover this old belongs to no live save: a save writes its temporary
// file in one go and renames it at once.
constexpr std::int64_t kStaleAfterNanoseconds = 10ll * 60 * 1000000000;

// The files RemoveTemporaryFilesInFlight removes. A signal handler reads the
// slots, so they are plain memory claimed through lock-free atomics: a slot
// is filled while kFilling and read only once kLive.
enum SlotState : int { kFree, kFilling, kLive, kRemoved };
struct Slot {
  std::atomic<int> state{kFree};
  NativeFile folder = kNoFile;
  char name[1024] = {};
};
static_assert(std::atomic<int>::is_always_lock_free);
Slot g_slots[32];

}  // namespace

void detail::TrackedTemporary::Track(NativeFile folder, const std::string& name) noexcept {
  if (slot_ >= 0 || name.size() >= sizeof g_slots[0].name) return;
  for (int i = 0; i < static_cast<int>(std::size(g_slots)); ++i) {
    Slot& slot = g_slots[i];
    int expected = kFree;
    if (!slot.state.compare_exchange_strong(expected, kFilling)) continue;
    slot.folder = folder;
    std::memcpy(slot.name, name.c_str(), name.size() + 1);
    slot.state.store(kLive);
    slot_ = i;
    return;
  }
}

detail::TrackedTemporary::~TrackedTemporary() {
  if (slot_ < 0) return;
  // A slot already removed stays taken: the process is ending.
  int expected = kLive;
  g_slots[slot_].state.compare_exchange_strong(expected, kFree);
}

void RemoveTemporaryFilesInFlight() noexcept {
  for (Slot& slot : g_slots) {
    int expected = kLive;
    if (slot.state.compare_exchange_strong(expected, kRemoved)) detail::RemoveTrackedFile(slot.folder, slot.name);
  }
}

bool detail::IsStaleTemporary(std::int64_t modified) noexcept {
  const std::int64_t now =
      std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::system_clock::now().time_since_epoch()).count();
  return now - modified > kStaleAfterNanoseconds;
}

std::string detail::TemporaryFileName() {
  static constexpr char kChars[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  thread_local std::mt19937 random{std::random_device{}()};
  std::string name(kTemporaryPrefix);
  for (std::size_t i = 0; i < kTemporaryRandomChars; ++i) name += kChars[random() % (sizeof kChars - 1)];
  return name;
}

DWORD detail::CreateTemporaryFile(const std::string& folder, Access access, FileHandle* file, std::string* path) {
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string name = JoinPath(folder, TemporaryFileName());
    const DWORD error = OpenFile(name, kOpenWrite | kOpenCreate | kOpenExclusive, file, access);
    if (error == ERROR_FILE_EXISTS) continue;
    if (error == 0) *path = std::move(name);
    return error;
  }
  return ERROR_FILE_EXISTS;
}

bool IsTemporaryFileName(std::string_view name) noexcept {
  return name.size() == kTemporaryPrefix.size() + kTemporaryRandomChars &&
         name.substr(0, kTemporaryPrefix.size()) == kTemporaryPrefix;
}

}  // namespace kdp
