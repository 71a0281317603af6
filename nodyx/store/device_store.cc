#include "device_store.h"

#include "names.h"

#include "kdplatform/file_io.h"
#include "kdplatform/native_path.h"
#include "kdplatform/trust.h"
#include "kdplatform/return_if_failed.h"

#include <algorithm>
#include <cstdlib>
#include <string>

namespace nodyx {

namespace {

constexpr const char* kDescription = "/device.json";
constexpr std::size_t kMaxDescriptionBytes = 64 * 1024;

HRESULT FromWin32(DWORD error) { return HRESULT_FROM_WIN32(error); }

// A folder of the store: the owner's only.
HRESULT MakeFolder(const std::string& path, bool mayExist) {
  const DWORD error = kdp::CreateFolder(path, kdp::Access::kOwnerOnly);
  return error == 0 || (mayExist && error == ERROR_ALREADY_EXISTS) ? S_OK : FromWin32(error);
}

// Whether an item (kFile) or a container (kFolder) is at `path`: the entry
// itself, never what a link there leads to.
bool IsOpenable(const std::string& path, kdp::FileKind kind) {
  const unsigned folder = kind == kdp::FileKind::kFolder ? unsigned{kdp::kOpenFolder} : 0u;
  kdp::FileHandle file;
  kdp::FileInfo info;
  return kdp::OpenFile(path, kdp::kOpenRead | kdp::kOpenNoFollow | folder, &file, kdp::Access::kOwnerOnly, &info) ==
             0 &&
         info.kind == kind;
}

// The folder that holds `path`: "" for a bare name, a root ("/", "C:\\")
// kept whole.
std::string ParentFolder(std::string path) {
  while (path.size() > 1 && (path.back() == '/' || path.back() == '\\')) path.pop_back();
  const std::size_t separator = path.find_last_of("/\\");
  if (separator == std::string::npos) return {};
  const bool root = separator == 0 || (separator == 2 && path[1] == ':');
  path.resize(root ? separator + 1 : separator);
  return path;
}

// A folder, not a link to one (removing a link's target would reach outside
// the store).
bool IsFolderItself(const std::string& path) { return IsOpenable(path, kdp::FileKind::kFolder); }

// Whether `path` may hold keys (kdp::CheckTrusted): S_OK, E_ACCESSDENIED
// with *why saying which step is not, or the not-found codes.
HRESULT CheckTrusted(const std::string& path, std::string* why) {
  std::string reason;
  const DWORD error = kdp::CheckTrusted(path, &reason);
  if (error == ERROR_ACCESS_DENIED && why) *why = std::move(reason);
  return FromWin32(error == ERROR_PATH_NOT_FOUND ? ERROR_FILE_NOT_FOUND : error);
}

}  // namespace

HRESULT DeviceStore::DefaultRoot(std::string* root) {
  if (const char* env = std::getenv("NODYX_STORE"); env != nullptr && *env != '\0') {
    *root = env;
    return S_OK;
  }
  char folder[MAX_PATH] = {};
  KD_RETURN_IF_FAILED(SHGetFolderPathA(nullptr, CSIDL_COMMON_APPDATA, nullptr, SHGFP_TYPE_CURRENT, folder));
  const std::string windowsPath = std::string(folder) + "\\Maltrove\\nodyx";
  if (!kdp::ToNativePath(windowsPath.c_str(), root)) return HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND);
  return S_OK;
}

HRESULT DeviceStore::CheckRoot(std::string* why) const { return CheckTrusted(root_, why); }

std::vector<kdp::FolderEntry> DeviceStore::ListFolders(ScanMemo* memo) const {
  kdp::FileInfo info;
  DescriptionStamp listing;
  if (memo && kdp::QueryFile(root_, &info) == 0 && kdp::IsSettled(info.version)) {
    listing = info.version;
    // The store folder's owner and permissions are as the memo found them:
    // changing them would have changed its version.
    if (memo->listing == listing) return memo->folders;
  }
  std::vector<kdp::FolderEntry> folders;
  // A store that others could have written holds no device of ours.
  const DWORD error = FAILED(CheckRoot(nullptr)) ? ERROR_ACCESS_DENIED : kdp::ListFolder(root_, &folders);
  if (memo) {
    // A listing cut short by an error is not kept.
    memo->listing = error != 0 ? DescriptionStamp() : listing;
    memo->folders = folders;
  }
  return folders;
}

std::vector<DeviceStore::Entry> DeviceStore::Scan(std::vector<Unreadable>* unreadable, ScanMemo* memo) const {
  std::vector<Entry> entries;
  std::map<std::string, Entry> remembered;
  for (const kdp::FolderEntry& listed : ListFolders(memo)) {
    const std::string& folder = listed.name;
    if (!IsValidStoreName(folder) || listed.link) continue;
    if (memo) {
      const auto known = memo->entries.find(folder);
      if (known != memo->entries.end() && Unchanged(folder, known->second.stamp)) {
        entries.push_back(known->second);
        remembered.insert(memo->entries.extract(known));
        continue;
      }
    }
    Entry entry{folder, {}, {}};
    std::string problem;
    // The store folder itself was found trusted when it was listed.
    if (SUCCEEDED(LoadDevice(folder, &entry.record, &problem, &entry.stamp))) {
      if (memo) remembered.emplace(folder, entry);
      entries.push_back(std::move(entry));
    } else if (unreadable && listed.kind == kdp::FileKind::kFolder) {
      unreadable->push_back({folder, problem.empty() ? "no readable device.json" : problem});
    }
  }
  if (memo) memo->entries = std::move(remembered);
  std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) { return a.folder < b.folder; });
  return entries;
}

HRESULT DeviceStore::Load(const std::string& folder, DeviceRecord* record, std::string* problem,
                          DescriptionStamp* stamp) const {
  if (!IsValidStoreName(folder)) return E_INVALIDARG;
  // Closed even to entries others could add beside the device's own.
  KD_RETURN_IF_FAILED(CheckRoot(problem));
  return LoadDevice(folder, record, problem, stamp);
}

HRESULT DeviceStore::LoadDevice(const std::string& folder, DeviceRecord* record, std::string* problem,
                                DescriptionStamp* stamp) const {
  // The description, its device folder and the store above them must be
  // closed to other users: whoever can change them can change the PIN, and
  // plant links where items should be.
  const std::string path = DeviceFolder(folder) + kDescription;
  KD_RETURN_IF_FAILED(CheckTrusted(path, problem));
  kdp::WipedBytes bytes;
  kdp::FileInfo info;
  const DWORD error = kdp::ReadWholeFile(path, kMaxDescriptionBytes, &bytes, &info, kdp::kOpenNoFollow);
  if (error != 0) return FromWin32(error == ERROR_PATH_NOT_FOUND ? ERROR_FILE_NOT_FOUND : error);
  auto parsed = ParseDeviceRecord(std::string(bytes.chars(), bytes.size()), problem);
  if (!parsed) return HRESULT_FROM_WIN32(ERROR_INVALID_DATA);
  *record = std::move(*parsed);
  if (stamp) *stamp = kdp::IsSettled(info.version) ? DescriptionStamp(info.version) : DescriptionStamp();
  return S_OK;
}

bool DeviceStore::Unchanged(const std::string& folder, const DescriptionStamp& stamp) const {
  kdp::FileInfo info;
  return stamp && IsValidStoreName(folder) && kdp::QueryFile(DeviceFolder(folder) + kDescription, &info) == 0 &&
         info.version == *stamp;
}

HRESULT DeviceStore::Save(const std::string& folder, const DeviceRecord& record) const {
  if (!IsValidStoreName(folder)) return E_INVALIDARG;
  const std::string text = SerializeDeviceRecord(record);
  return FromWin32(kdp::ReplaceFileAtomically(DeviceFolder(folder) + kDescription, text.data(), text.size()));
}

HRESULT DeviceStore::Create(const std::string& folder, const DeviceRecord& record, std::string* problem) const {
  if (!IsValidStoreName(folder)) return E_INVALIDARG;
  // Folders above the store are readable by all (the shared configuration
  // lives there too) and writable by their owner alone; the store and all
  // below it are the owner's only. Whatever the umask.
  const std::string parent = ParentFolder(root_);
  if (!parent.empty()) {
    if (const DWORD error = kdp::CreateFolderPath(parent, kdp::Access::kPublicRead)) return FromWin32(error);
  }
  KD_RETURN_IF_FAILED(MakeFolder(root_, true));
  KD_RETURN_IF_FAILED(CheckRoot(problem));
  KD_RETURN_IF_FAILED(MakeFolder(DeviceFolder(folder), false));
  const HRESULT hr = Save(folder, record);
  if (FAILED(hr)) kdp::RemoveTree(DeviceFolder(folder));
  return hr;
}

HRESULT DeviceStore::Remove(const std::string& folder) const {
  if (!IsValidStoreName(folder)) return E_INVALIDARG;
  if (!IsFolderItself(DeviceFolder(folder))) return HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
  const DWORD error = kdp::RemoveTree(DeviceFolder(folder));
  return error ? FromWin32(error) : S_OK;
}

HRESULT DeviceStore::ReadItem(const std::string& folder, const char* name, std::uint8_t* buffer, DWORD* count) const {
  if (!IsValidStoreName(folder) || !IsValidStoreName(name)) return E_INVALIDARG;
  // One handle for size and content: a concurrent replacement swaps the
  // name to a new file, never the bytes of this one.
  kdp::FileHandle file;
  kdp::FileInfo info;
  DWORD error = kdp::OpenFile(DeviceFolder(folder) + "/items/" + name, kdp::kOpenRead | kdp::kOpenNoFollow, &file,
                              kdp::Access::kOwnerOnly, &info);
  // A link where an item should be is no item: never read what it leads to.
  if (error == ERROR_CANT_RESOLVE_FILENAME || (error == 0 && info.kind != kdp::FileKind::kFile)) {
    error = ERROR_FILE_NOT_FOUND;
  }
  if (error == 0 && info.size > 0xFFFFFFFFu) error = ERROR_INVALID_DATA;
  if (error != 0) return FromWin32(error);
  const auto size = static_cast<DWORD>(info.size);
  if (size <= *count) {
    std::size_t done = 0;
    error = kdp::ReadAll(file.Get(), buffer, size, &done);
    if (error != 0 || done != size) return FromWin32(ERROR_READ_FAULT);
  }
  *count = size;
  return S_OK;
}

HRESULT DeviceStore::ReadItem(const std::string& folder, const char* name, kdp::WipedBytes* data) const {
  if (!IsValidStoreName(folder) || !IsValidStoreName(name)) return E_INVALIDARG;
  return FromWin32(
      kdp::ReadWholeFile(DeviceFolder(folder) + "/items/" + name, 0xFFFFFFFFu, data, nullptr, kdp::kOpenNoFollow));
}

HRESULT DeviceStore::WriteItem(const std::string& folder, const char* name, const void* data, std::size_t size) const {
  if (!IsValidStoreName(folder) || !IsValidStoreName(name)) return E_INVALIDARG;
  const std::string items = DeviceFolder(folder) + "/items";
  KD_RETURN_IF_FAILED(MakeFolder(items, true));
  return FromWin32(kdp::ReplaceFileAtomically(items + "/" + name, data, size));
}

HRESULT DeviceStore::DeleteItem(const std::string& folder, const char* name) const {
  if (!IsValidStoreName(folder) || !IsValidStoreName(name)) return E_INVALIDARG;
  return FromWin32(kdp::RemoveFile(DeviceFolder(folder) + "/items/" + name));
}

HRESULT DeviceStore::ItemExists(const std::string& folder, const char* name, bool* exists) const {
  if (!IsValidStoreName(folder) || !IsValidStoreName(name)) return E_INVALIDARG;
  *exists = IsOpenable(DeviceFolder(folder) + "/items/" + name, kdp::FileKind::kFile);
  return S_OK;
}

HRESULT DeviceStore::ListItems(const std::string& folder, std::vector<std::string>* names) const {
  if (!IsValidStoreName(folder)) return E_INVALIDARG;
  return ListEntries(DeviceFolder(folder) + "/items", false, names);
}

HRESULT DeviceStore::ContainerExists(const std::string& folder, const char* name, bool* exists) const {
  if (!IsValidStoreName(folder) || !IsValidStoreName(name)) return E_INVALIDARG;
  *exists = IsOpenable(DeviceFolder(folder) + "/containers/" + name, kdp::FileKind::kFolder);
  return S_OK;
}

HRESULT DeviceStore::CreateContainer(const std::string& folder, const char* name) const {
  if (!IsValidStoreName(folder) || !IsValidStoreName(name)) return E_INVALIDARG;
  const std::string containers = DeviceFolder(folder) + "/containers";
  KD_RETURN_IF_FAILED(MakeFolder(containers, true));
  return MakeFolder(containers + "/" + name, false);
}

HRESULT DeviceStore::RemoveContainer(const std::string& folder, const char* name) const {
  if (!IsValidStoreName(folder) || !IsValidStoreName(name)) return E_INVALIDARG;
  const std::string path = DeviceFolder(folder) + "/containers/" + name;
  if (!IsFolderItself(path)) return HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
  const DWORD error = kdp::RemoveTree(path);
  return error ? FromWin32(error) : S_OK;
}

HRESULT DeviceStore::ListContainers(const std::string& folder, std::vector<std::string>* names) const {
  if (!IsValidStoreName(folder)) return E_INVALIDARG;
  return ListEntries(DeviceFolder(folder) + "/containers", true, names);
}

HRESULT DeviceStore::ListEntries(const std::string& path, bool wantFolders, std::vector<std::string>* names) const {
  std::vector<kdp::FolderEntry> entries;
  const DWORD error = kdp::ListFolder(path, &entries);
  // A device that never stored anything has no sub-folder yet.
  if (error == ERROR_FILE_NOT_FOUND) return S_OK;
  if (error != 0) return FromWin32(error);
  const kdp::FileKind wanted = wantFolders ? kdp::FileKind::kFolder : kdp::FileKind::kFile;
  std::vector<std::string> found;
  for (auto& entry : entries) {
    if (entry.kind == wanted && !entry.link && IsValidStoreName(entry.name)) found.push_back(std::move(entry.name));
  }
  std::sort(found.begin(), found.end());
  names->insert(names->end(), found.begin(), found.end());
  return S_OK;
}

}  // namespace nodyx
