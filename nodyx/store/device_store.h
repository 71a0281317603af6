// The device store: one folder per device under a root folder.
//
//   <root>/<device>/device.json     the description (device_record.h)
//   <root>/<device>/items/<name>    key-storage items, one file each
//   <root>/<device>/containers/<name>/   crypto containers, one folder each
//
// Every operation takes names checked by IsValidStoreName and refuses the
// others with E_INVALIDARG. Operations are stateless and safe to run from
// several threads and processes at once: items and descriptions are only
// ever replaced whole (kdp::ReplaceFileAtomically). Everything the store
// creates is its owner's only (files 0600, folders 0700); missing folders
// above it are readable by all and writable by their owner alone.
//
// Other users must not be able to change what the store holds: a store
// folder, device folder or description that they could change is not used
// (E_ACCESSDENIED, CheckRoot), and links inside a device folder are never
// followed: a link where an item or container should be is none.
#pragma once

#include "device_record.h"
#include "kdplatform/wiped_bytes.h"
#include "kdplatform/win32.h"

#include "kdplatform/file_io.h"
#include "kdplatform/path_names.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace nodyx {

// Not in the platform's error list.
inline constexpr DWORD kErrorNotFound = 1168;

// What a description was read from, for telling later whether it changed:
// the version of its file, kept only when that version had settled
// (kdp::IsSettled), since an unsettled one proves nothing.
using DescriptionStamp = std::optional<kdp::FileVersion>;

class DeviceStore {
 public:
  struct Entry {
    std::string folder;
    DeviceRecord record;
    DescriptionStamp stamp;
  };

  // What earlier scans found, so that a scan reads and parses only the
  // descriptions that changed since and lists the store folder again only
  // when its entries changed. One per scanning owner, which serialises its
  // scans.
  struct ScanMemo {
    DescriptionStamp listing;  // the store folder when `folders` was listed
    std::vector<kdp::FolderEntry> folders;
    std::map<std::string, Entry> entries;  // by folder: the last description read
  };

  explicit DeviceStore(std::string root) : root_(std::move(root)) {}

  // NODYX_STORE when set and not empty, else "Maltrove\nodyx" under the
  // common application-data folder.
  static HRESULT DefaultRoot(std::string* root);

  const std::string& root() const { return root_; }

  // Whether the store folder may hold keys: it and every folder above it
  // belong to the caller or to root and no other user may change them
  // (kdp::CheckTrusted). S_OK; E_ACCESSDENIED with *why (when given) saying
  // which step is not; HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND) when missing.
  // Every operation that reads or writes the store makes this check or one
  // that includes it.
  HRESULT CheckRoot(std::string* why = nullptr) const;

  // A device folder whose description cannot be used, and why.
  struct Unreadable {
    std::string folder;
    std::string problem;
  };

  // Every device whose description reads well, detached ones included,
  // sorted by folder name. Folders without a usable description are skipped
  // (and listed in *unreadable when given). With a memo, what did not change
  // since the memo's last scan is taken from it.
  std::vector<Entry> Scan(std::vector<Unreadable>* unreadable = nullptr, ScanMemo* memo = nullptr) const;

  // HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND) when the device folder or its
  // description is missing, E_ACCESSDENIED when they or the store are not
  // trusted (CheckRoot's rule, also for the device folder and description),
  // HRESULT_FROM_WIN32(ERROR_INVALID_DATA) when the description does not
  // parse (*problem, when given, then says why).
  // *stamp (when given) receives what the description was read from.
  HRESULT Load(const std::string& folder, DeviceRecord* record, std::string* problem = nullptr,
               DescriptionStamp* stamp = nullptr) const;
  // True when the description is still the one `stamp` was taken from.
  bool Unchanged(const std::string& folder, const DescriptionStamp& stamp) const;
  HRESULT Save(const std::string& folder, const DeviceRecord& record) const;
  // Fails with HRESULT_FROM_WIN32(ERROR_ALREADY_EXISTS) when the folder
  // exists, and with E_ACCESSDENIED (*problem, when given, says why) when
  // the store folder is not trusted (CheckRoot).
  HRESULT Create(const std::string& folder, const DeviceRecord& record, std::string* problem = nullptr) const;
  HRESULT Remove(const std::string& folder) const;

  // *count is the capacity of buffer in and the item's size out. The item
  // is copied only when it fits; a larger item leaves the buffer untouched
  // and reports its size (never smaller than the capacity).
  HRESULT ReadItem(const std::string& folder, const char* name, std::uint8_t* buffer, DWORD* count) const;
  HRESULT ReadItem(const std::string& folder, const char* name, kdp::WipedBytes* data) const;
  HRESULT WriteItem(const std::string& folder, const char* name, const void* data, std::size_t size) const;
  HRESULT DeleteItem(const std::string& folder, const char* name) const;
  HRESULT ItemExists(const std::string& folder, const char* name, bool* exists) const;
  HRESULT ListItems(const std::string& folder, std::vector<std::string>* names) const;

  HRESULT ContainerExists(const std::string& folder, const char* name, bool* exists) const;
  HRESULT CreateContainer(const std::string& folder, const char* name) const;
  HRESULT RemoveContainer(const std::string& folder, const char* name) const;
  HRESULT ListContainers(const std::string& folder, std::vector<std::string>* names) const;

 private:
  std::string DeviceFolder(const std::string& folder) const { return kdp::JoinPath(root_, folder); }
  // Load once the store folder itself is known to be trusted.
  HRESULT LoadDevice(const std::string& folder, DeviceRecord* record, std::string* problem,
                     DescriptionStamp* stamp) const;
  HRESULT ListEntries(const std::string& path, bool wantFolders, std::vector<std::string>* names) const;
  // The names in the store folder, from the memo when the folder is unchanged.
  std::vector<kdp::FolderEntry> ListFolders(ScanMemo* memo) const;

  std::string root_;
};

}  // namespace nodyx
