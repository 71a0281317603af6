// info: what a storage path is. complete: a name made into a full storage
// path. compare: whether two paths name the same place.
#include "commands.h"
#include "device_session.h"
#include "failure.h"
#include "output.h"

#include <keydepot/keydepot.h>

#include <iostream>
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
    throw Failure(kBadPath, "not a valid storage path: " + path + ": " + DescribeToolsCode(code));
  }
  return parts;
}

const char* FormName(const std::string& path) {
  if (path.rfind("\\\\!\\", 0) == 0) return "named device";
  if (path.rfind("\\\\.\\", 0) == 0) return "system-name device";
  if (path.find('|') != std::string::npos) return "device path";
  return "file-system path";
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

int RunInfo(const InfoOptions& o) {
  // An explicit filter must be in force before the library opens its own
  // sessions for the storage type, name and identifier.
  std::optional<DeviceSession> session;
  if (!o.filter.empty()) session.emplace(o.filter);
  const PathParts parts = Parse(o.path);

  keydepot::eStorageType type = keydepot::StorageNone;
  HRESULT typeResult = E_UNEXPECTED;
  const HRESULT thrown = Attempt([&] { typeResult = keydepot::GetStorageType(o.path.c_str(), type); });
  if (FAILED(thrown)) typeResult = thrown;

  CTOOString storageName;
  IdentObj deviceId;
  Attempt([&] { storageName = keydepot::GetStorageName(o.path.c_str()); });
  if (parts.isDevice) Attempt([&] { deviceId = keydepot::GetDeviceID(o.path.c_str()); });
  const std::string idHex = HexBytes(deviceId.pbData, deviceId.cbData);

  if (o.json) {
    Json j = {{"path", o.path},
              {"form", FormName(o.path)},
              {"device", parts.isDevice},
              {"location", parts.location.Str()},
              {"container", parts.container.Str()},
              {"sub_name", parts.subName.Str()}};
    if (SUCCEEDED(typeResult)) {
      j["storage_type"] = {{"value", static_cast<int>(type)}, {"name", StorageTypeName(type)}};
    } else {
      j["storage_type"] = nullptr;
      j["storage_type_error"] = DescribeHresult(typeResult);
    }
    j["storage_name"] = storageName.Str();
    j["device_id"] = idHex.empty() ? Json(nullptr) : Json(idHex);
    PrintJson(j);
    return kOk;
  }
  auto orNone = [](const CTOOString& text) { return text.IsEmpty() ? std::string("(none)") : text.Str(); };
  PrintFields({{"path", o.path},
               {"form", FormName(o.path)},
               {"location", orNone(parts.location)},
               {"container", orNone(parts.container)},
               {"sub-name", orNone(parts.subName)},
               {"storage type", SUCCEEDED(typeResult)
                                    ? std::string(StorageTypeName(type)) + " (" + std::to_string(type) + ")"
                                    : "unknown: " + DescribeHresult(typeResult)},
               {"storage name", orNone(storageName)},
               {"device id", idHex.empty() ? "(none)" : idHex}});
  return kOk;
}

struct CompleteOptions {
  std::string name, container, subName, filter;
  bool local = false;
  bool json = false;
};

int RunComplete(const CompleteOptions& o) {
  std::optional<DeviceSession> session;
  if (!o.filter.empty()) session.emplace(o.filter);
  CTOOString full;
  const std::string what = "cannot complete '" + o.name + "'";
  const bool ok = Guarded(what, [&] {
    if (o.local) return keydepot::MakeFullPath2(full, o.name, false);
    return keydepot::MakeFullPath(full, o.name, o.container, o.subName);
  });
  if (!ok) {
    const int code = keydepot::KDPGetLastError();
    if (code == 0) throw Failure(kFailed, what + ": the application-data folder is not available");
    const bool designation = o.name.rfind("\\\\!\\", 0) == 0 || o.name.rfind("\\\\.\\", 0) == 0;
    if (designation && TooErr2HResult(code) == HRESULT_FROM_WIN32(ERROR_INVALID_NAME)) {
      throw Failure(kNotFound, what + ": no attached device matches: " + DescribeToolsCode(code));
    }
    FailWithToolsCode(what, code);
  }
  if (o.json) {
    PrintJson({{"name", o.name}, {"full_path", full.Str()}});
  } else {
    std::cout << full.Str() << '\n';
  }
  return kOk;
}

struct CompareOptions {
  std::string a, b;
  bool subNames = false;
  bool json = false;
};

int RunCompare(const CompareOptions& o) {
  Parse(o.a);
  Parse(o.b);
  const bool equal = Guarded("cannot compare the paths", [&] {
    return keydepot::ArePathsEqual(CTOOString(o.a), CTOOString(o.b), o.subNames);
  });
  if (o.json) {
    PrintJson({{"equal", equal}});
  } else {
    std::cout << (equal ? "same place" : "different places") << '\n';
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
  CLI::Option* local = c->add_flag("--local", complete->local,
                                   "Use the current user's application-data folder, not the shared one");
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
  AddJsonFlag(p, &compare->json);
  p->callback([&run, compare] { run = [compare] { return RunCompare(*compare); }; });
}

}  // namespace kdcli
