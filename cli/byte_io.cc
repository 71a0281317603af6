#include "byte_io.h"

#include "failure.h"
#include "file_diagnosis.h"

#include <kdplatform/file_io.h>
#include <kdplatform/secure_zero.h>

#include <algorithm>
#include <filesystem>

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
  namespace fs = std::filesystem;
  const LocalEntry entry = Inspect(folder);
  if (!entry.exists) throw Failure(kNotFound, "the folder " + folder + " does not exist");
  if (!entry.folder) throw Failure(kBadPath, folder + " is a file, not a folder");
  std::vector<FolderFile> files;
  std::error_code ec;
  for (fs::directory_iterator it(folder, ec); !ec && it != fs::directory_iterator(); it.increment(ec)) {
    std::error_code sizeError;
    if (!it->is_regular_file(sizeError) || kdp::IsTemporaryFileName(it->path().filename().string())) continue;
    const std::uintmax_t size = it->file_size(sizeError);
    files.push_back({it->path().filename().string(), sizeError ? 0 : static_cast<std::uint64_t>(size)});
  }
  if (ec) throw Failure(kLocalIo, "cannot list the folder " + folder + ": " + ec.message());
  std::sort(files.begin(), files.end(), [](const FolderFile& a, const FolderFile& b) { return a.name < b.name; });
  return files;
}

}  // namespace kdcli
