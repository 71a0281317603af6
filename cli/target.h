// A storage path as the user wrote it, and the path the storage functions
// get. The storage functions read four forms: a file (no '|', "FLS|<file>|",
// "<file>|"), a device type ("DEV|<type>|<item>|") and a device path. The
// prefixed designations "\\!\..." and "\\.\..." are not among them: the tool
// completes them (MakeFullPath) into the device path of the first attached
// device they match, and a PKCS#11 URI ("pkcs11:...", pkcs11_uri.h) into
// the device path of the one attached token it matches; both count as
// designations.
#pragma once

#include "pkcs11_uri.h"

#include <memory>
#include <string>

namespace kdcli {

class Target {
 public:
  enum class Kind { kFile, kDeviceType, kDevicePath, kDesignation };

  // Throws Failure (kBadPath) for a PKCS#11 URI that keydepot refuses.
  explicit Target(std::string given);

  const std::string& given() const { return given_; }
  // What the storage functions get; for a designation, valid after Resolve().
  const std::string& path() const { return path_; }
  Kind kind() const { return kind_; }
  bool IsDevice() const { return kind_ != Kind::kFile; }
  bool WasDesignation() const { return designation_; }
  bool IsPkcs11Uri() const { return uri_ != nullptr; }

  // kFile: the file's path, "FLS|" and the final '|' taken off.
  const std::string& file() const { return file_; }
  // kDeviceType: the type number as the library reads it (atoi), and the item.
  unsigned long typeNumber() const { return typeNumber_; }
  const std::string& item() const { return item_; }

  // Needs the session open (the search uses the shared silent session, so
  // its device-type filter applies). A designation becomes a device path;
  // a device path is checked to parse. Throws Failure: kNotFound when no
  // attached device matches a designation, kBadPath for a device path that
  // does not parse or a URI that several tokens match.
  void Resolve();

 private:
  std::string given_, path_, file_, item_;
  Kind kind_;
  bool designation_ = false;
  unsigned long typeNumber_ = 0;
  std::shared_ptr<const Pkcs11Uri> uri_;
};

// The message for a text with '|' that does not parse as a device path.
std::string NotADevicePath(const std::string& path);

}  // namespace kdcli
