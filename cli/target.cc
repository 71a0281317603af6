#include "target.h"

#include "failure.h"

#include <keydepot/keydepot.h>
#include <tools2/errors.h>

#include <cstdlib>
#include <optional>

namespace kdcli {

namespace {

bool StartsWith(const std::string& text, const char* prefix) { return text.rfind(prefix, 0) == 0; }

// Field k of a '|'-separated path; every field ends in '|', so text after the
// last '|' is no field.
std::string Field(const std::string& path, int k) {
  std::size_t start = 0;
  for (int i = 0; i < k; ++i) {
    start = path.find('|', start);
    if (start == std::string::npos) return {};
    ++start;
  }
  const std::size_t end = path.find('|', start);
  return end == std::string::npos ? std::string() : path.substr(start, end - start);
}

}  // namespace

Target::Target(std::string given) : given_(std::move(given)), path_(given_) {
  const std::size_t bar = given_.find('|');
  const keydepot::PathForm form = keydepot::FormOf(given_);
  if (kdcli::IsPkcs11Uri(given_)) {
    uri_ = std::make_shared<const Pkcs11Uri>(given_);
    kind_ = Kind::kDesignation;
    designation_ = true;
  } else if (form == keydepot::PathForm::kNamedDevice || form == keydepot::PathForm::kSystemName) {
    kind_ = Kind::kDesignation;
    designation_ = true;
  } else if (bar == std::string::npos) {
    kind_ = Kind::kFile;
    file_ = given_;
  } else if (StartsWith(given_, "FLS|")) {
    kind_ = Kind::kFile;
    file_ = Field(given_, 1);
  } else if (StartsWith(given_, "DEV|")) {
    kind_ = Kind::kDeviceType;
    typeNumber_ = static_cast<unsigned long>(std::atoi(Field(given_, 1).c_str()));
    item_ = Field(given_, 2);
  } else if (bar + 1 == given_.size()) {
    kind_ = Kind::kFile;
    file_ = given_.substr(0, bar);
  } else {
    kind_ = Kind::kDevicePath;
  }
}

void Target::Resolve() {
  if (kind_ == Kind::kDevicePath) {
    const bool ok = Guarded("cannot read " + given_, [&] {
      return keydepot::ParseFullPath(given_.c_str(), nullptr, nullptr, nullptr, nullptr);
    });
    if (!ok) throw Failure(kBadPath, NotADevicePath(given_), keydepot::KDPGetLastError());
    return;
  }
  if (kind_ != Kind::kDesignation) return;
  if (uri_) {
    path_ = ResolvePkcs11Uri(*uri_);
    kind_ = Kind::kDevicePath;
    return;
  }
  CTOOString full;
  const bool found = Guarded("cannot find the device " + given_ + " names",
                             [&] { return keydepot::MakeFullPath(full, given_, "", ""); });
  if (!found) {
    const int code = keydepot::KDPGetLastError();
    // A device path is at most AD_PATH_BUFFER bytes with its terminator, so
    // a longer name cannot be resolved whatever the device: not "no device".
    if (TooErr2HResult(code) == HRESULT_FROM_WIN32(ERROR_INVALID_NAME) && given_.size() >= AD_PATH_BUFFER) {
      throw Failure(kBadPath,
                    "cannot read " + given_.substr(0, 40) + "...: the path is too long (a device path holds at most " +
                        std::to_string(AD_PATH_BUFFER - 1) + " bytes, an item name at most 255)",
                    code);
    }
    throw Failure(kNotFound,
                  "no attached device matches " + given_ +
                      " (keydepot devices lists the attached ones): " + DescribeToolsCode(code),
                  code);
  }
  path_ = full.Str();
  kind_ = Kind::kDevicePath;
}

namespace {

// The value of field `tag` ("5" type, "17" identifier) of a device path
// (1|2\5|<type>\17|<identifier>\8|...), when the path has one.
std::optional<std::string> FieldOf(const std::string& path, const std::string& tag) {
  const std::string start = "\\" + tag + "|";
  const std::size_t at = path.find(start);
  if (at == std::string::npos) return std::nullopt;
  const std::size_t from = at + start.size();
  const std::size_t end = path.find_first_of("\\|", from);
  return path.substr(from, end == std::string::npos ? std::string::npos : end - from);
}

// What is wrong with a device path's type or identifier, in words, when
// that is what is wrong.
std::string DevicePathFault(const std::string& path) {
  if (const auto type = FieldOf(path, "5")) {
    if (type->empty() || type->find_first_not_of("0123456789") != std::string::npos) {
      return "its device type '" + *type + "' is not a decimal number";
    }
  }
  if (const auto id = FieldOf(path, "17")) {
    if (id->empty()) return "its device identifier is empty";
    if (id->find_first_not_of("0123456789abcdefABCDEF") != std::string::npos) {
      return "its device identifier '" + *id + "' is not hexadecimal (digits 0-9 and A-F)";
    }
  }
  return "it names no device type and identifier";
}

}  // namespace

std::string NotADevicePath(const std::string& path) {
  return "'" + path + "' is not a valid storage path: it holds '|', so it is read as a device path, but " +
         DevicePathFault(path) +
         ". A device path reads 1|2\\5|<type>\\17|<identifier>\\8|<container> (keydepot "
         "devices shows each device's); DEV|<type>|<item>| names an item by device type, FLS|<file>| a file";
}

}  // namespace kdcli
