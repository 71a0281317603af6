// devices: what the session's device manager sees. containers: the key
// containers a location names.
#include "commands.h"
#include "config_notice.h"
#include "device_lookup.h"
#include "device_session.h"
#include "failure.h"
#include "output.h"
#include "pin_state.h"
#include "pkcs11_uri.h"
#include "storage_call.h"

#include <keydepot/keydepot.h>
#include <tools2/errors.h>

#include <iostream>
#include <list>
#include <memory>
#include <optional>

namespace kdcli {

namespace {

constexpr HRESULT kPartial = 0x00040301;

struct DeviceInfo {
  int type = 0;
  std::string typeName, displayName, systemName, idText, devicePath;
  std::optional<std::string> uri;  // a PKCS#11 token's (pkcs11_uri.h)
  bool crypto = false;
  PinState pin;
};

// Each text is read into a buffer of the size the component promises not to
// exceed; a read that fails leaves the field empty.
DeviceInfo Describe(IAD_Device* device) {
  DeviceInfo info;
  info.displayName = DisplayName(device);
  char text[AD_PATH_BUFFER] = {};
  if (SUCCEEDED(device->GetSystemName(text))) info.systemName = text;
  text[0] = '\0';
  if (SUCCEEDED(device->GetIDText(text))) info.idText = text;
  ComPtr<IAD_DeviceType> type;
  if (SUCCEEDED(device->GetDeviceType(type.put())) && type) {
    EAD_DeviceType number = EAD_DeviceType_None;
    if (SUCCEEDED(type->GetType(&number))) info.type = number;
    text[0] = '\0';
    if (SUCCEEDED(type->GetTypeName(text))) info.typeName = text;
  }
  keydepot::ad::MakeDevicePath(device, info.devicePath);
  ComPtr<IAD_CryptoDevice> crypto;
  device->QueryInterface(IID_IAD_CryptoDevice, reinterpret_cast<void**>(crypto.put()));
  info.crypto = static_cast<bool>(crypto);
  if (const auto token = TokenInfoOf(device)) info.uri = TokenUri(*token);
  info.pin = PinStateOf(device);
  return info;
}

std::vector<DeviceInfo> ListDevices(DWORD session) {
  std::vector<DeviceInfo> found;
  for (const ComPtr<IAD_Device>& device : AttachedDevices(session)) found.push_back(Describe(device.get()));
  return found;
}

int RunDevices(const std::string& filter, bool json) {
  DeviceSession session(filter);
  const std::vector<DeviceInfo> devices = ListDevices(session.handle());
  if (json) {
    Json list = Json::array();
    for (const DeviceInfo& d : devices) {
      Json j = {{"type", d.type},
                {"type_name", d.typeName},
                {"display_name", d.displayName},
                {"system_name", d.systemName},
                {"id_text", d.idText},
                {"device_path", d.devicePath},
                {"crypto", d.crypto},
                {"pin", PinStateJson(d.pin)}};
      if (d.uri) j["uri"] = *d.uri;
      list.push_back(j);
    }
    PrintJson({{"devices", list}});
    return kOk;
  }
  if (devices.empty()) {
    std::cout << "No devices attached.\n";
    ExplainNoDevices();
    return kOk;
  }
  for (std::size_t i = 0; i < devices.size(); ++i) {
    const DeviceInfo& d = devices[i];
    if (i > 0) std::cout << '\n';
    PrintLine(d.displayName);
    Fields fields = {{"  type", std::to_string(d.type) + " (" + d.typeName + ")"},
                     {"  system name", d.systemName},
                     {"  identifier", d.idText},
                     {"  device path", d.devicePath},
                     {"  crypto", d.crypto ? "yes" : "no"},
                     {"  PIN", PinStateLine(d.pin)}};
    if (d.uri) fields.push_back({"  uri", *d.uri});
    PrintFields(fields);
  }
  return kOk;
}

struct ContainerOptions {
  std::string location;
  std::string filter;
  bool paths = false;
  bool skipDefault = false;
  bool json = false;
  PinOptions pin;
};

// The container a location names ("" when it names devices only), split as
// the container listing splits it.
std::string NamedContainer(const std::string& location) {
  if (location.rfind("\\\\", 0) != 0 && location.find('|') == std::string::npos) return location;
  CTOOString container;
  keydepot::ParseFullPath(location.c_str(), nullptr, nullptr, &container, nullptr);
  return container.Str();
}

// Whether an attached device matches a location that names no container.
bool AnyDeviceMatches(DWORD session, const std::string& location) {
  Target target(location);
  try {
    target.Resolve();
  } catch (const Failure& e) {
    if (e.code() == kNotFound) return false;
    throw;
  }
  return FindDevice(session, target).has_value();
}

// A PKCS#11 URI as the location: the device path it resolves to.
ContainerOptions WithUriResolved(ContainerOptions o) {
  if (!IsPkcs11Uri(o.location)) return o;
  Target target(o.location);
  target.Resolve();
  if (!Quiet()) Note(o.location + " names " + target.path());
  o.location = target.path();
  return o;
}

int RunContainers(const ContainerOptions& given) {
  DeviceSession session(given.filter);
  const ContainerOptions o = WithUriResolved(given);
  // A token shows containers whose objects are all private only after a
  // login, and a PKCS#11 login holds for the whole process: the PIN is
  // presented once, on a device object kept open until the listing is done.
  std::optional<StorageCall> login;
  if (o.pin.Count() > 0) {
    if (o.location.empty()) throw Failure(kUsage, "a PIN option needs a location naming one device");
    login.emplace(o.location, o.filter, o.pin, false, StorageCall::Use::kWholeDevice);
    login->PresentPin();
  }
  // Names from every device mixed together would not tell which device holds
  // which: without a location each container is its full path.
  const bool paths = o.paths || o.location.empty();
  std::list<std::string> names;
  const std::string what =
      o.location.empty() ? "cannot list the containers" : "cannot list the containers of " + o.location;
  const HRESULT hr = Guarded(what, [&] {
    return keydepot::ad::GetADContainerNames(session.handle(), o.location.empty() ? nullptr : o.location.c_str(), names,
                                             paths, o.skipDefault);
  });
  if (hr == E_UNEXPECTED || hr == E_INVALIDARG)
    throw Failure(kBadPath, NotADevicePath(o.location), HResult2ToolsErr(hr));
  if (FAILED(hr)) FailWithHresult(what, hr);
  // A device that lacks a container the location names counts as skipped.
  const std::string container = o.location.empty() ? std::string() : NamedContainer(o.location);
  const bool partial = hr == kPartial && container.empty();
  if (names.empty() && !o.location.empty()) {
    if (!container.empty()) {
      throw Failure(kNotFound, "no attached device that " + o.location + " names has a container '" + container +
                                   "' (keydepot containers --skip-default lists them all)");
    }
    if (!AnyDeviceMatches(session.handle(), o.location)) {
      throw Failure(kNotFound, "no attached device matches " + o.location + " (keydepot devices lists them)");
    }
  }
  if (o.json) {
    Json list = Json::array();
    for (const std::string& name : names) list.push_back(name);
    PrintJson({{"location", o.location}, {"paths", paths}, {"containers", list}, {"partial", partial}});
  } else {
    for (const std::string& name : names) PrintLine(name);
  }
  if (partial) Warn("some devices or containers could not be read and are not listed");
  return kOk;
}

}  // namespace

void AddDeviceCommands(CLI::App& app, Runner& run) {
  auto devices = std::make_shared<std::pair<std::string, bool>>();
  CLI::App* d = AddCommand(app, "devices", "List the attached devices", {"keydepot devices --json"});
  AddFilterOption(d, &devices->first);
  AddJsonFlag(d, &devices->second);
  d->callback([&run, devices] { run = [devices] { return RunDevices(devices->first, devices->second); }; });

  auto containers = std::make_shared<ContainerOptions>();
  CLI::App* c =
      AddCommand(app, "containers", "List the containers a location names (all devices when no location is given)",
                 {"keydepot containers --skip-default", "keydepot containers '\\\\!\\SoftToken\\0A1B2C3D' --paths"});
  c->add_option("location", containers->location,
                "Device path, \\\\!\\TYPE\\ID\\CONTAINER, \\\\.\\NAME\\CONTAINER, pkcs11: URI or a container name");
  c->add_flag("--paths", containers->paths, "Print full device paths instead of names (always without a location)");
  c->add_flag("--skip-default", containers->skipDefault, "List every container, not only the default one");
  AddPinOptions(c, &containers->pin);
  AddFilterOption(c, &containers->filter);
  AddJsonFlag(c, &containers->json);
  c->callback([&run, containers] { run = [containers] { return RunContainers(*containers); }; });
}

}  // namespace kdcli
