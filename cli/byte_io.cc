#include "byte_io.h"

#include "failure.h"
#include "file_diagnosis.h"

#include <kdplatform/file_io.h>
#include <kdplatform/secure_zero.h>

#include <algorithm>

namespace kdcli {

namespace {

bool IsStandardStream(const std::string& path) { return path.empty() || path == "-"; }

constexpr std::uint64_t kMaxItemBytes = 0xFFFFFFFFu;

std::string Why(DWORD error) { return DescribeHresult(HRESULT_FROM_WIN32(error)); }

}  // namespace

kdp::WipedBytes ReadAllBytes(const std::string& path) {
  kdp::WipedBytes bytes;
  if (!IsStandardStream(path)) {
    const DWORD error = kdp::ReadWholeFile(path, kMaxItemBytes, &bytes);
    if (error == ERROR_FILE_TOO_LARGE) throw Failure(kLocalIo, path + " is 4 GiB or more");
    if (error != 0) throw Failure(kLocalIo, "cannot open " + path + ": " + Why(error));
    return bytes;
  }
  unsigned char chunk[16384];
  std::size_t got = 0;
  DWORD error = 0;
  while ((error = kdp::ReadSome(kdp::StandardInput(), chunk, sizeof chunk, &got)) == 0 && got != 0 &&
         bytes.size() + got <= kMaxItemBytes) {
    bytes.Append(chunk, got);
  }
  SecureZeroMemory(chunk, sizeof chunk);
  if (error != 0) throw Failure(kLocalIo, "cannot read standard input: " + Why(error));
  if (got != 0) throw Failure(kLocalIo, "standard input is 4 GiB or more");
  return bytes;
}

void WriteAll(const std::string& path, const unsigned char* data, std::size_t size) {
  if (IsStandardStream(path)) {
    if (const DWORD error = kdp::WriteAll(kdp::StandardOutput(), data, size)) {
      throw Failure(kLocalIo, "cannot write standard output: " + Why(error));
    }
  } else if (const DWORD error = kdp::SaveFile(path, data, size)) {
    if (const auto explained = ExplainLocalSave(path)) {
      throw Failure(explained->code(), "cannot create " + path + ": " + explained->what());
    }
    throw Failure(kLocalIo, "cannot create " + path + ": " + Why(error));
  }
}

LocalEntry Inspect(const std::string& path) {
  kdp::FileInfo info;
  if (kdp::QueryFile(path, &info) != 0) return {};
  return {true, info.kind == kdp::FileKind::kFolder, info.size};
}

std::vector<FolderFile> FilesIn(const std::string& folder) {
  const LocalEntry entry = Inspect(folder);
  if (!entry.exists) throw Failure(kNotFound, "the folder " + folder + " does not exist");
  if (!entry.folder) throw Failure(kBadPath, folder + " is a file, not a folder");
  // The file layer's names are the ANSI code page's, as every other path the
  // tool takes and prints (std::filesystem's narrow names are UTF-8 on
  // Windows whatever the code page).
  std::vector<kdp::FolderEntry> entries;
  if (const DWORD error = kdp::ListFolder(folder, &entries)) {
    throw Failure(kLocalIo, "cannot list the folder " + folder + ": " + Why(error));
  }
  std::vector<FolderFile> files;
  for (const kdp::FolderEntry& found : entries) {
    if (found.kind != kdp::FileKind::kFile || kdp::IsTemporaryFileName(found.name)) continue;
    // '/' separates names on every system this tool runs on.
    const bool separated = !folder.empty() && (folder.back() == '/' || folder.back() == '\\');
    files.push_back({found.name, Inspect(folder + (separated ? "" : "/") + found.name).size});
  }
  std::sort(files.begin(), files.end(), [](const FolderFile& a, const FolderFile& b) { return a.name < b.name; });
  return files;
}

}  // namespace kdcli
