#include "byte_io.h"

#include "failure.h"

#include <kdplatform/file_io.h>
#include <kdplatform/secure_zero.h>

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
    throw Failure(kLocalIo, "cannot create " + path + ": " + Why(error));
  }
}

}  // namespace kdcli
