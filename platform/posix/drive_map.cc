#include "drive_map.h"

#include "kdplatform/kernel.h"

#include <cctype>
#include <cstdlib>
#include <string_view>

namespace kdp::detail {

namespace {

std::optional<UINT> TypeFromName(std::string_view name) {
  if (name == "fixed") return DRIVE_FIXED;
  if (name == "removable") return DRIVE_REMOVABLE;
  if (name == "remote") return DRIVE_REMOTE;
  if (name == "cdrom") return DRIVE_CDROM;
  if (name == "ramdisk") return DRIVE_RAMDISK;
  return std::nullopt;
}

bool IsLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

}  // namespace

bool HasDriveLetter(const char* path) noexcept { return path && IsLetter(path[0]) && path[1] == ':'; }

std::optional<MappedDrive> LookUpDrive(char letter) {
  if (!IsLetter(letter)) return std::nullopt;
  const char* value = std::getenv("KEYDEPOT_DRIVES");
  if (!value) return std::nullopt;
  const int wanted = std::toupper(static_cast<unsigned char>(letter));

  // Entries are "L=folder" or "L=folder,type", separated by ';'. Malformed
  // entries are skipped; the first entry for a letter wins.
  std::string_view rest(value);
  while (!rest.empty()) {
    const std::size_t end = rest.find(';');
    std::string_view entry = rest.substr(0, end);
    rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);

    if (entry.size() < 3 || !IsLetter(entry[0]) || entry[1] != '=') continue;
    if (std::toupper(static_cast<unsigned char>(entry[0])) != wanted) continue;
    std::string_view folder = entry.substr(2);
    UINT type = DRIVE_FIXED;
    // A ',' starts the type only when a known type name follows it, so
    // folders may contain commas.
    if (const std::size_t comma = folder.rfind(','); comma != std::string_view::npos) {
      if (const auto named = TypeFromName(folder.substr(comma + 1))) {
        type = *named;
        folder = folder.substr(0, comma);
      }
    }
    if (folder.empty()) continue;
    return MappedDrive{std::string(folder), type};
  }
  return std::nullopt;
}

}  // namespace kdp::detail
