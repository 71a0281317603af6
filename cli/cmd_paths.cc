// info: what a storage path is. complete: a name made into a full storage
// path. compare: whether two paths name the same place.
#include "commands.h"
#include "config_notice.h"
#include "device_lookup.h"
#include "device_session.h"
#include "failure.h"
#include "output.h"
#include "storage_call.h"

#include <keydepot/keydepot.h>

#include <memory>
#include <optional>

namespace kdcli {

namespace {

struct PathParts {
  bool isDevice = false;
  CTOOString location, container, subName;
};

// Throws Failure (kBadPath) when the path does not parse.
PathParts Parse(const std::string& path) {
  PathParts parts;
  const bool ok = Guarded("cannot parse " + path, [&] {
    return keydepot::ParseFullPath(path.c_str(), &parts.isDevice, &parts.location, &parts.container, &parts.subName);
  });
  if (!ok) {
    const int code = keydepot::KDPGetLastError();
    throw Failure(kBadPath, NotADevicePath(path) + ": " + DescribeToolsCode(code), code);
  }
  return parts;
}

const char* FormName(const Target& target) {
  if (target.IsPkcs11Uri()) return "PKCS#11 URI";
  const keydepot::PathForm form = keydepot::FormOf(target.given());
  if (form == keydepot::PathForm::kNamedDevice) return "named device";
  if (form == keydepot::PathForm::kSystemName) return "system-name device";
  switch (target.kind()) {
    case Target::Kind::kFile: return form == keydepot::PathForm::kFileSystem ? "file-system path" : "FLS file";
    case Target::Kind::kDeviceType: return "device type";
    default: return "device path";
  }
}

const char* StorageTypeName(keydepot::eStorageType type) {
  switch (type) {
    case keydepot::StorageNone: return "none";
    case keydepot::StorageFolder: return "folder";
    case keydepot::StorageDevice: return "device";
    case keydepot::StorageCryptoDevice: return "crypto device";
    case keydepot::StorageCryptoDeviceFlagged: return "crypto device (flagged)";
  }
  return "unknown";
}

// A library call whose thrown `long` becomes a code to report, not a failure
// of the whole command.
template <class Call>
HRESULT Attempt(Call&& call) {
  try {
    call();
    return S_OK;
  } catch (long code) {
    return static_cast<HRESULT>(code);
  }
}

struct InfoOptions {
  std::string path, filter;
  bool json = false;
};

// What info tells about a path; the storage queries run on `query`, the path
// the storage functions would get.
struct Described {
  PathParts parts;
  std::string query, storageName, idHex, typeError;
  std::optional<std::string> resolved;
  std::optional<unsigned long> deviceType;
  keydepot::eStorageType type = keydepot::StorageNone;
};

Described Describe(const Target& target, std::optional<DeviceSession>& session, const std::string& filter) {
  Described d;
  d.query = target.given();
  if (target.kind() == Target::Kind::kFile) {
    d.query = target.file();
    d.parts = Parse(d.query);
  } else if (target.kind() == Target::Kind::kDeviceType) {
    if (!session) session.emplace(filter);
    d.parts.isDevice = true;
    d.parts.container = target.item();
    d.deviceType = WantedDeviceType(target.typeNumber());
    const auto device = FindDevice(session->handle(), target);
    if (device) d.parts.location = device->devicePath;
    d.query = device ? device->devicePath + target.item() : std::string();
    if (!device) d.typeError = "no attached device has the type " + std::to_string(*d.deviceType);
  } else {
    if (!target.IsPkcs11Uri()) d.parts = Parse(target.given());
    if (target.kind() == Target::Kind::kDesignation) {
      Target resolved = target;
      try {
        resolved.Resolve();
        d.resolved = resolved.path();
        d.query = resolved.path();
        if (target.IsPkcs11Uri()) d.parts = Parse(resolved.path());
      } catch (const Failure& e) {
        d.query.clear();
        d.typeError = e.what();
      }
    }
  }
  if (!d.query.empty()) {
    HRESULT typeResult = E_UNEXPECTED;
    const HRESULT thrown = Attempt([&] { typeResult = keydepot::GetStorageType(d.query.c_str(), d.type); });
    if (FAILED(thrown)) typeResult = thrown;
    if (FAILED(typeResult)) d.typeError = DescribeHresult(typeResult);
  }
  // The name and identifier as the storage functions give them for the path.
  const std::string named = target.kind() == Target::Kind::kDesignation ? d.query : target.given();
  CTOOString storageName;
  IdentObj deviceId;
  if (!named.empty()) {
    Attempt([&] { storageName = keydepot::GetStorageName(named.c_str()); });
    if (d.parts.isDevice) Attempt([&] { deviceId = keydepot::GetDeviceID(named.c_str()); });
  }
  d.storageName = storageName.Str();
  d.idHex = HexBytes(deviceId.pbData, deviceId.cbData);
  return d;
}

int RunInfo(const InfoOptions& o) {
  // An explicit filter must be in force before the library opens its own
  // sessions for the storage type, name and identifier.
  std::optional<DeviceSession> session;
  if (!o.filter.empty()) session.emplace(o.filter);
  const Target target(o.path);
  // The library's own sessions read the filter in force and the module list.
  if (target.IsDevice()) WarnAboutIgnoredConfiguration(o.filter);
  const Described d = Describe(target, session, o.filter);
  const bool typeKnown = d.typeError.empty();

  if (o.json) {
    Json j = {{"path", o.path},
              {"form", FormName(target)},
              {"device", d.parts.isDevice},
              {"location", d.parts.location.Str()},
              {"container", d.parts.container.Str()},
              {"sub_name", d.parts.subName.Str()}};
    if (target.WasDesignation()) j["resolved"] = d.resolved ? Json(*d.resolved) : Json(nullptr);
    if (d.deviceType) j["device_type"] = *d.deviceType;
    if (typeKnown) {
      j["storage_type"] = {{"value", static_cast<int>(d.type)}, {"name", StorageTypeName(d.type)}};
    } else {
      j["storage_type"] = nullptr;
      j["storage_type_error"] = d.typeError;
    }
    j["storage_name"] = d.storageName;
    j["device_id"] = d.idHex.empty() ? Json(nullptr) : Json(d.idHex);
    PrintJson(j);
    return kOk;
  }
  auto orNone = [](const std::string& text) { return text.empty() ? std::string("(none)") : text; };
  Fields fields = {{"path", o.path}, {"form", FormName(target)}};
  if (target.WasDesignation())
    fields.push_back({"resolved", d.resolved ? *d.resolved : "(no attached device matches)"});
  if (d.deviceType) fields.push_back({"device type", std::to_string(*d.deviceType)});
  fields.insert(fields.end(),
                {{"location", orNone(d.parts.location.Str())},
                 {"container", orNone(d.parts.container.Str())},
                 {"sub-name", orNone(d.parts.subName.Str())},
                 {"storage type", typeKnown ? std::string(StorageTypeName(d.type)) + " (" + std::to_string(d.type) + ")"
                                            : "unknown: " + d.typeError},
                 {"storage name", orNone(d.storageName)},
                 {"device id", orNone(d.idHex)}});
  PrintFields(fields);
  return kOk;
}

struct CompleteOptions {
  std::string name, container, subName, filter;
  bool local = false;
  bool json = false;
};

// A URI completes to its device path, as a device path does: --container
// replaces the name it gives, --sub-name follows ':.'.
std::string CompleteUri(const CompleteOptions& o) {
  if (o.local) throw Failure(kUsage, "--local completes names in a folder, and a PKCS#11 URI names a token");
  Target target(o.name);
  target.Resolve();
  std::string full = target.path();
  if (!o.container.empty()) full = full.substr(0, full.rfind('|') + 1) + o.container;
  return o.subName.empty() ? full : full + ":." + o.subName;
}

int RunComplete(const CompleteOptions& o) {
  std::optional<DeviceSession> session;
  if (!o.filter.empty()) session.emplace(o.filter);
  std::string fullText;
  if (IsPkcs11Uri(o.name)) {
    fullText = CompleteUri(o);
  } else {
    CTOOString full;
    const std::string what = "cannot complete '" + o.name + "'";
    const bool ok = Guarded(what, [&] {
      if (o.local) return keydepot::MakeFullPath2(full, o.name, false);
      return keydepot::MakeFullPath(full, o.name, o.container, o.subName);
    });
    if (!ok) {
      const int code = keydepot::KDPGetLastError();
      if (code == 0) throw Failure(kFailed, what + ": the application-data folder is not available");
      const keydepot::PathForm form = keydepot::FormOf(o.name);
      const bool designation = form == keydepot::PathForm::kNamedDevice || form == keydepot::PathForm::kSystemName;
      if (designation && TooErr2HResult(code) == HRESULT_FROM_WIN32(ERROR_INVALID_NAME)) {
        throw Failure(kNotFound, what + ": no attached device matches: " + DescribeToolsCode(code));
      }
      FailWithToolsCode(what, code);
    }
    fullText = full.Str();
  }
  if (o.json) {
    PrintJson({{"name", o.name}, {"full_path", fullText}});
  } else {
    PrintLine(fullText);
  }
  return kOk;
}

struct CompareOptions {
  std::string a, b, filter;
  bool subNames = false;
  bool json = false;
};

int RunCompare(const CompareOptions& o) {
  StorageCall a(o.a, o.filter, {}, false);
  StorageCall b(o.b, o.filter, {}, false);
  const std::string placeA = a.PlacePath(), placeB = b.PlacePath();
  const bool equal = SamePlace(placeA, placeB, o.subNames);
  const std::string subA = Parse(placeA).subName.Str(), subB = Parse(placeB).subName.Str();
  const bool subNamesDiffer = subA != subB;
  if (o.json) {
    PrintJson({{"equal", equal}, {"sub_names_differ", subNamesDiffer}});
  } else if (equal && subNamesDiffer) {
    Say("same place, but the sub-names differ ('" + subA + "' and '" + subB + "'; --sub-names tells them apart)");
  } else {
    Say(equal ? "same place" : "different places");
  }
  return equal ? kOk : kNo;
}

}  // namespace

void AddPathCommands(CLI::App& app, Runner& run) {
  auto info = std::make_shared<InfoOptions>();
  CLI::App* i = AddCommand(app, "info", "Show what a storage path names: its form, parts and storage",
                           {"keydepot info '/srv/keys/cert.pem:.sig'"});
  i->add_option("path", info->path, "Storage path")->required();
  AddFilterOption(i, &info->filter);
  AddJsonFlag(i, &info->json);
  i->callback([&run, info] { run = [info] { return RunInfo(*info); }; });

  auto complete = std::make_shared<CompleteOptions>();
  CLI::App* c = AddCommand(app, "complete", "Complete a name into a full storage path",
                           {"keydepot complete mykey", "keydepot complete '\\\\!\\SoftToken\\' --container keys"});
  c->add_option("name", complete->name, "Container name, folder, file, device designation or nothing");
  CLI::Option* container = c->add_option("--container", complete->container, "Container name to use instead");
  CLI::Option* sub = c->add_option("--sub-name", complete->subName, "Sub-name to append after ':.'");
  CLI::Option* local =
      c->add_flag("--local", complete->local, "Use the current user's application-data folder, not the shared one");
  local->excludes(container, sub);
  AddFilterOption(c, &complete->filter);
  AddJsonFlag(c, &complete->json);
  c->callback([&run, complete] { run = [complete] { return RunComplete(*complete); }; });

  auto compare = std::make_shared<CompareOptions>();
  CLI::App* p = AddCommand(app, "compare", "Tell whether two storage paths name the same place (exit 1: different)",
                           {"keydepot compare /srv/keys/a.pem /srv/keys/./a.pem"});
  p->add_option("a", compare->a, "First storage path")->required();
  p->add_option("b", compare->b, "Second storage path")->required();
  p->add_flag("--sub-names", compare->subNames, "The sub-names must match too");
  AddFilterOption(p, &compare->filter);
  AddJsonFlag(p, &compare->json);
  p->callback([&run, compare] { run = [compare] { return RunCompare(*compare); }; });
}

}  // namespace kdcli
