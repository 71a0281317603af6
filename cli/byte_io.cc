#include "byte_io.h"

#include "failure.h"
#include "file_diagnosis.h"

#include <kdplatform/file_io.h>
#include <kdplatform/interrupts.h>

#include <algorithm>

namespace kdcli {

namespace {

bool IsStandardStream(const std::string& path) { return path.empty() || path == "-"; }

constexpr std::uint64_t kMaxItemBytes = 0xFFFFFFFFu;

std::string Why(DWORD error) { return DescribeHresult(HRESULT_FROM_WIN32(error)); }

}  // namespace

kdp::WipedBytes ReadAllBytes(const std::string& path) {
  kdp::WipedBytes bytes;
  const bool standard = IsStandardStream(path);
  const std::string shown = standard ? std::string("standard input") : path;
  const DWORD error = standard ? kdp::ReadStream(kdp::StandardInput(), kMaxItemBytes, &bytes)
                               : kdp::ReadWholeInput(path, kMaxItemBytes, &bytes);
  if (error == ERROR_FILE_TOO_LARGE) throw Failure(kLocalIo, shown + " is 4 GiB or more");
  if (error == ERROR_DIRECTORY) throw Failure(kBadPath, path + " is a folder; -i takes a file or a stream");
  if (error != 0)
    throw Failure(kLocalIo, std::string(standard ? "cannot read " : "cannot open ") + shown + ": " + Why(error));
  return bytes;
}

void WriteAll(const std::string& path, const unsigned char* data, std::size_t size) {
  if (IsStandardStream(path)) {
    if (const DWORD error = kdp::WriteAll(kdp::StandardOutput(), data, size)) {
      throw Failure(kLocalIo, "cannot write standard output: " + Why(error));
    }
    return;
  }
  const kdp::InterruptCleanup cleanup;
  if (const DWORD error = kdp::SaveFile(path, data, size)) {
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

std::vector<FolderFile> FilesIn(const std::string& folder, bool leftovers) {
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
    const bool leftover = kdp::IsTemporaryFileName(found.name);
    if (found.kind != kdp::FileKind::kFile || (leftover && (!leftovers || found.link))) continue;
    // '/' separates names on every system this tool runs on.
    const bool separated = !folder.empty() && (folder.back() == '/' || folder.back() == '\\');
    files.push_back({found.name, Inspect(folder + (separated ? "" : "/") + found.name).size, leftover});
  }
  std::sort(files.begin(), files.end(), [](const FolderFile& a, const FolderFile& b) { return a.name < b.name; });
  return files;
}

}  // namespace kdcli
