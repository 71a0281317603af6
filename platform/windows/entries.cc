#include "entries.h"

#include "kdplatform/errors.h"
#include "kdplatform/win32.h"

#include "../folders.h"

#include <aclapi.h>
#include <winioctl.h>

#include <cstddef>
#include <cstring>
#include <vector>

namespace kdp::detail {
namespace {

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
constexpr DWORD kEntryFlags = FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT;

HANDLE Handle(NativeFile file) { return reinterpret_cast<HANDLE>(file); }

// The start of a symbolic link's or junction's reparse data (the system's
// REPARSE_DATA_BUFFER, which the SDK keeps in the driver headers). Offsets
// and lengths count bytes of the path buffer that follows; a junction has no
// flags field.
struct ReparseHeader {
  ULONG tag;
  USHORT dataLength;
  USHORT reserved;
  USHORT substituteOffset;
  USHORT substituteLength;
  USHORT printOffset;
  USHORT printLength;
};
constexpr std::size_t kSymlinkPathsAt = sizeof(ReparseHeader) + sizeof(ULONG);
constexpr std::size_t kJunctionPathsAt = sizeof(ReparseHeader);

// `wide` in the process's code page; false when a character has no spelling.
bool ToCodePage(const std::wstring& wide, std::string* text) {
  if (wide.empty()) return false;
  BOOL lossy = FALSE;
  const int size = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), static_cast<int>(wide.size()),
                                       nullptr, 0, nullptr, &lossy);
  if (size <= 0 || lossy) return false;
  text->assign(static_cast<std::size_t>(size), '\0');
  return WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), static_cast<int>(wide.size()), text->data(),
                             size, nullptr, &lossy) == size &&
         !lossy;
}

// An NT name as a Win32 path: "\??\C:\x" is C:\x, "\??\UNC\s\share" is
// \\s\share, any other "\??\" name keeps the "\\?\" form.
std::string Win32Path(std::string name) {
  if (name.rfind("\\??\\UNC\\", 0) == 0) return "\\\\" + name.substr(8);
  if (name.rfind("\\??\\", 0) == 0) {
    if (name.size() >= 6 && name[5] == ':') return name.substr(4);
    name[1] = '\\';
  }
  return name;
}

}  // namespace

DWORD OpenEntry(const std::string& path, DWORD desired, FileHandle* entry) {
  const HANDLE handle = CreateFileA(path.c_str(), desired, kShareAll, nullptr, OPEN_EXISTING, kEntryFlags, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return GetLastError();
  *entry = FileHandle(reinterpret_cast<NativeFile>(handle));
  return 0;
}

DWORD ReopenEntry(NativeFile entry, DWORD desired, FileHandle* again) {
  const HANDLE handle = ReOpenFile(Handle(entry), desired, kShareAll, kEntryFlags);
  if (handle == INVALID_HANDLE_VALUE) return GetLastError();
  *again = FileHandle(reinterpret_cast<NativeFile>(handle));
  return 0;
}

DWORD ReparseTagOf(NativeFile entry, DWORD* tag) {
  *tag = 0;
  FILE_ATTRIBUTE_TAG_INFO info{};
  if (!GetFileInformationByHandleEx(Handle(entry), FileAttributeTagInfo, &info, sizeof info)) return GetLastError();
  if (info.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) *tag = info.ReparseTag;
  return 0;
}

bool IsLinkTag(DWORD tag) { return tag == IO_REPARSE_TAG_SYMLINK || tag == IO_REPARSE_TAG_MOUNT_POINT; }

DWORD LinkTarget(NativeFile link, const std::string& linkPath, std::string* target) {
  std::vector<BYTE> data(MAXIMUM_REPARSE_DATA_BUFFER_SIZE);
  DWORD got = 0;
  if (!DeviceIoControl(Handle(link), FSCTL_GET_REPARSE_POINT, nullptr, 0, data.data(), static_cast<DWORD>(data.size()),
                       &got, nullptr)) {
    return GetLastError();
  }
  ReparseHeader header{};
  if (got < sizeof header) return ERROR_CANT_RESOLVE_FILENAME;
  std::memcpy(&header, data.data(), sizeof header);
  const bool symlink = header.tag == IO_REPARSE_TAG_SYMLINK;
  if (!symlink && header.tag != IO_REPARSE_TAG_MOUNT_POINT) return ERROR_CANT_RESOLVE_FILENAME;
  ULONG flags = 0;
  if (symlink) std::memcpy(&flags, data.data() + sizeof header, sizeof flags);
  const std::size_t start = (symlink ? kSymlinkPathsAt : kJunctionPathsAt) + header.substituteOffset;
  if (header.substituteLength == 0 || start + header.substituteLength > got) return ERROR_CANT_RESOLVE_FILENAME;
  std::wstring wide(header.substituteLength / sizeof(wchar_t), L'\0');
  std::memcpy(wide.data(), data.data() + start, wide.size() * sizeof(wchar_t));
  std::string name;
  if (!ToCodePage(wide, &name)) return ERROR_CANT_RESOLVE_FILENAME;
  // A relative link leads from its own folder, as the system reads it.
  *target = symlink && (flags & SYMLINK_FLAG_RELATIVE) ? JoinPath(ParentOf(linkPath), name) : Win32Path(name);
  return 0;
}

Descriptor::~Descriptor() {
  if (descriptor_) LocalFree(descriptor_);
}

DWORD Descriptor::Read(NativeFile entry) {
  if (descriptor_) LocalFree(descriptor_);
  descriptor_ = nullptr;
  owner_ = nullptr;
  return GetSecurityInfo(Handle(entry), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, &owner_,
                         nullptr, nullptr, nullptr, &descriptor_);
}

DWORD Descriptor::Read(const std::string& path) {
  const HANDLE handle =
      CreateFileA(path.c_str(), READ_CONTROL, kShareAll, nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return GetLastError();
  const FileHandle opened(reinterpret_cast<NativeFile>(handle));
  return Read(opened.Get());
}

}  // namespace kdp::detail
