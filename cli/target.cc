#include "target.h"

#include "device_lookup.h"
#include "device_session.h"
#include "edit_distance.h"
#include "failure.h"
#include "output.h"

#include <keydepot/keydepot.h>
#include <tools2/errors.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <optional>
#include <vector>

namespace kdcli {

namespace {

std::string Lowered(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

// The device part of a system-name form (the system name) or a named-device
// form (type name and identifier), as the user wrote it.
std::string DevicePartOf(const std::string& given, bool named) {
  const std::string rest = given.substr(keydepot::kFormPrefixLength);
  std::size_t end = rest.find('\\');
  if (named && end != std::string::npos) end = rest.find('\\', end + 1);
  return rest.substr(0, end);
}

// The attached devices' own forms close to `part` (the device a system-name
// or named-device form names), for a form that names none. Opens a session of its own: only
// on the way to a failure.
std::vector<std::string> CloseDeviceForms(const std::string& part, bool named) {
  std::vector<std::string> close;
  DeviceSession session("");
  for (const ComPtr<IAD_Device>& device : AttachedDevices(session.handle())) {
    char text[AD_PATH_BUFFER] = {};
    std::string name;
    if (named) {
      ComPtr<IAD_DeviceType> type;
      char typeName[AD_NAME_BUFFER] = {};
      if (FAILED(device->GetDeviceType(type.put())) || !type || FAILED(type->GetTypeName(typeName)) ||
          FAILED(device->GetIDText(text))) {
        continue;
      }
      name = std::string(typeName) + "\\" + text;
    } else if (SUCCEEDED(device->GetSystemName(text))) {
      name = text;
    }
    if (name.empty()) continue;
    const std::string a = Lowered(part), b = Lowered(name);
    // Two slips, or a quarter of a long name; or one is the start of the other.
    const std::size_t allowed = std::max<std::size_t>(2, b.size() / 4);
    if (EditDistance(a, b) <= allowed || b.rfind(a, 0) == 0 || a.rfind(b, 0) == 0) {
      close.push_back((named ? keydepot::kNamedDevicePrefix : keydepot::kSystemNamePrefix) + name);
    }
    if (close.size() == 5) break;
  }
  return close;
}

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

// "\\.mytoken\x", "\.\mytoken\x", "\\!SoftToken\...": a device form with
// a backslash too few, which the file system would take as a relative or
// UNC-like file name.
bool LooksLikeAMistypedDeviceForm(const std::string& path) {
  const auto at = [&](std::size_t i) { return i < path.size() ? path[i] : '\0'; };
  if (at(0) == '\\' && at(1) == '\\' && (at(2) == '.' || at(2) == '!') && at(3) != '\\') return true;
  return at(0) == '\\' && (at(1) == '.' || at(1) == '!') && at(2) == '\\';
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
    if (LooksLikeAMistypedDeviceForm(given_)) {
      Note(given_ +
           " is read as a file path; a device form begins with \\\\.\\ (a system name) or \\\\!\\ (type "
           "name and identifier)");
    }
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
    const bool named = keydepot::FormOf(given_) == keydepot::PathForm::kNamedDevice;
    const std::string part = DevicePartOf(given_, named);
    std::string message = "no attached device matches " + given_ + ": no device has the " +
                          (named ? "type name and identifier '" : "system name '") + part + "'";
    const std::vector<std::string> close = CloseDeviceForms(part, named);
    for (std::size_t i = 0; i < close.size(); ++i) message += (i == 0 ? "; did you mean " : " or ") + close[i];
    throw Failure(kNotFound, message + (close.empty() ? "" : "?") + " (keydepot devices lists the attached ones)",
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
