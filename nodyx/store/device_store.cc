#include "device_store.h"

#include "atomic_file.h"
#include "names.h"

#include "kdplatform/native_path.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace nodyx {

namespace fs = std::filesystem;

namespace {

constexpr const char* kDescription = "/device.json";
constexpr std::size_t kMaxDescriptionBytes = 64 * 1024;

}  // namespace

HRESULT DeviceStore::DefaultRoot(std::string* root) {
  if (const char* env = std::getenv("NODYX_STORE"); env != nullptr && *env != '\0') {
    *root = env;
    return S_OK;
  }
  char folder[MAX_PATH] = {};
  const HRESULT hr = SHGetFolderPathA(nullptr, CSIDL_COMMON_APPDATA, nullptr, SHGFP_TYPE_CURRENT, folder);
  if (FAILED(hr)) return hr;
  const std::string windowsPath = std::string(folder) + "\\Maltrove\\nodyx";
  if (!kdp::ToNativePath(windowsPath.c_str(), root)) return HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND);
  return S_OK;
}

std::vector<DeviceStore::Entry> DeviceStore::Scan(std::vector<Unreadable>* unreadable) const {
  std::vector<Entry> entries;
  std::error_code ec;
  fs::directory_iterator it(root_, ec);
  for (; !ec && it != fs::directory_iterator(); it.increment(ec)) {
    const std::string folder = it->path().filename().string();
    if (!IsValidStoreName(folder)) continue;
    Entry entry{folder, {}};
    std::string problem;
    if (SUCCEEDED(Load(folder, &entry.record, &problem))) {
      entries.push_back(std::move(entry));
    } else if (std::error_code typeError; unreadable && it->is_directory(typeError)) {
      unreadable->push_back({folder, problem.empty() ? "no readable device.json" : problem});
    }
  }
  std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) { return a.folder < b.folder; });
  return entries;
}

HRESULT DeviceStore::Load(const std::string& folder, DeviceRecord* record, std::string* problem) const {
  if (!IsValidStoreName(folder)) return E_INVALIDARG;
  std::string text;
  const HRESULT hr = ReadWholeFile(DeviceFolder(folder) + kDescription, kMaxDescriptionBytes, &text);
  if (FAILED(hr)) {
    return hr == HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND) ? HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND) : hr;
  }
  auto parsed = ParseDeviceRecord(text, problem);
  if (!parsed) return HRESULT_FROM_WIN32(ERROR_INVALID_DATA);
  *record = std::move(*parsed);
  return S_OK;
}

HRESULT DeviceStore::Save(const std::string& folder, const DeviceRecord& record) const {
  if (!IsValidStoreName(folder)) return E_INVALIDARG;
  const std::string text = SerializeDeviceRecord(record);
  const std::string device = DeviceFolder(folder);
  return ReplaceFile(device + "/.tmp", device + kDescription, text.data(), text.size());
}

HRESULT DeviceStore::Create(const std::string& folder, const DeviceRecord& record) const {
  if (!IsValidStoreName(folder)) return E_INVALIDARG;
  std::error_code ec;
  fs::create_directories(root_, ec);
  if (::mkdir(DeviceFolder(folder).c_str(), 0755) != 0) return HresultFromErrno(errno);
  const HRESULT hr = Save(folder, record);
  if (FAILED(hr)) fs::remove_all(DeviceFolder(folder), ec);
  return hr;
}

HRESULT DeviceStore::Remove(const std::string& folder) const {
  if (!IsValidStoreName(folder)) return E_INVALIDARG;
  std::error_code ec;
  if (!fs::is_directory(DeviceFolder(folder), ec)) return HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
  fs::remove_all(DeviceFolder(folder), ec);
  return ec ? HresultFromErrno(ec.value()) : S_OK;
}

HRESULT DeviceStore::ReadItem(const std::string& folder, const char* name, std::uint8_t* buffer,
                              DWORD* count) const {
  if (!IsValidStoreName(folder) || !IsValidStoreName(name)) return E_INVALIDARG;
  const std::string path = DeviceFolder(folder) + "/items/" + name;
  // One descriptor for size and content: a concurrent replacement swaps the
  // name to a new file, never the bytes of this one.
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return HresultFromErrno(errno);
  HRESULT hr = S_OK;
  struct stat st {};
  if (::fstat(fd, &st) != 0) {
    hr = HresultFromErrno(errno);
  } else if (!S_ISREG(st.st_mode)) {
    hr = HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
  } else if (static_cast<std::uint64_t>(st.st_size) > 0xFFFFFFFFu) {
    hr = HRESULT_FROM_WIN32(ERROR_INVALID_DATA);
  } else {
    const auto size = static_cast<DWORD>(st.st_size);
    if (size <= *count) {
      DWORD done = 0;
      while (done < size) {
        const ssize_t n = ::read(fd, buffer + done, size - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += static_cast<DWORD>(n);
      }
      if (done != size) hr = HRESULT_FROM_WIN32(ERROR_READ_FAULT);
    }
    if (SUCCEEDED(hr)) *count = size;
  }
  ::close(fd);
  return hr;
}

HRESULT DeviceStore::ReadItem(const std::string& folder, const char* name, std::string* data) const {
  if (!IsValidStoreName(folder) || !IsValidStoreName(name)) return E_INVALIDARG;
  return ReadWholeFile(DeviceFolder(folder) + "/items/" + name, 0xFFFFFFFFu, data);
}

HRESULT DeviceStore::WriteItem(const std::string& folder, const char* name, const void* data,
                               std::size_t size) const {
  if (!IsValidStoreName(folder) || !IsValidStoreName(name)) return E_INVALIDARG;
  const std::string device = DeviceFolder(folder);
  if (::mkdir((device + "/items").c_str(), 0755) != 0 && errno != EEXIST) return HresultFromErrno(errno);
  return ReplaceFile(device + "/.tmp", device + "/items/" + name, data, size);
}

HRESULT DeviceStore::DeleteItem(const std::string& folder, const char* name) const {
  if (!IsValidStoreName(folder) || !IsValidStoreName(name)) return E_INVALIDARG;
  if (::unlink((DeviceFolder(folder) + "/items/" + name).c_str()) != 0) return HresultFromErrno(errno);
  return S_OK;
}

HRESULT DeviceStore::ItemExists(const std::string& folder, const char* name, bool* exists) const {
  if (!IsValidStoreName(folder) || !IsValidStoreName(name)) return E_INVALIDARG;
  struct stat st {};
  *exists = ::stat((DeviceFolder(folder) + "/items/" + name).c_str(), &st) == 0 && S_ISREG(st.st_mode);
  return S_OK;
}

HRESULT DeviceStore::ListItems(const std::string& folder, std::vector<std::string>* names) const {
  if (!IsValidStoreName(folder)) return E_INVALIDARG;
  return ListEntries(DeviceFolder(folder) + "/items", false, names);
}

HRESULT DeviceStore::ContainerExists(const std::string& folder, const char* name, bool* exists) const {
  if (!IsValidStoreName(folder) || !IsValidStoreName(name)) return E_INVALIDARG;
  struct stat st {};
  *exists = ::stat((DeviceFolder(folder) + "/containers/" + name).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
  return S_OK;
}

HRESULT DeviceStore::CreateContainer(const std::string& folder, const char* name) const {
  if (!IsValidStoreName(folder) || !IsValidStoreName(name)) return E_INVALIDARG;
  const std::string containers = DeviceFolder(folder) + "/containers";
  if (::mkdir(containers.c_str(), 0755) != 0 && errno != EEXIST) return HresultFromErrno(errno);
  if (::mkdir((containers + "/" + name).c_str(), 0755) != 0) return HresultFromErrno(errno);
  return S_OK;
}

HRESULT DeviceStore::RemoveContainer(const std::string& folder, const char* name) const {
  if (!IsValidStoreName(folder) || !IsValidStoreName(name)) return E_INVALIDARG;
  const std::string path = DeviceFolder(folder) + "/containers/" + name;
  std::error_code ec;
  if (!fs::is_directory(path, ec)) return HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
  fs::remove_all(path, ec);
  return ec ? HresultFromErrno(ec.value()) : S_OK;
}

HRESULT DeviceStore::ListContainers(const std::string& folder, std::vector<std::string>* names) const {
  if (!IsValidStoreName(folder)) return E_INVALIDARG;
  return ListEntries(DeviceFolder(folder) + "/containers", true, names);
}

HRESULT DeviceStore::ListEntries(const std::string& path, bool wantFolders, std::vector<std::string>* names) const {
  std::error_code ec;
  std::vector<std::string> found;
  fs::directory_iterator it(path, ec);
  if (ec) {
    // A device that never stored anything has no sub-folder yet.
    return ec == std::errc::no_such_file_or_directory ? S_OK : HresultFromErrno(ec.value());
  }
  for (; !ec && it != fs::directory_iterator(); it.increment(ec)) {
    std::error_code typeEc;
    const bool isFolder = it->is_directory(typeEc);
    const bool isFile = it->is_regular_file(typeEc);
    const std::string name = it->path().filename().string();
    if ((wantFolders ? isFolder : isFile) && IsValidStoreName(name)) found.push_back(name);
  }
  if (ec) return HresultFromErrno(ec.value());
  std::sort(found.begin(), found.end());
  names->insert(names->end(), found.begin(), found.end());
  return S_OK;
}

}  // namespace nodyx
