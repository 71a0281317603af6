// devices: what the session's device manager sees. containers: the key
// containers a location names.
#include "commands.h"
#include "device_session.h"
#include "failure.h"
#include "output.h"

#include <keydepot/keydepot.h>

#include <iostream>
#include <list>
#include <memory>

namespace kdcli {

namespace {

constexpr HRESULT kPartial = 0x00040301;

struct DeviceInfo {
  int type = 0;
  std::string typeName, displayName, systemName, idText, devicePath;
  bool crypto = false;
};

// Each text is read into a buffer of the size the component promises not to
// exceed; a read that fails leaves the field empty.
DeviceInfo Describe(IAD_Device* device) {
  DeviceInfo info;
  char text[AD_PATH_BUFFER] = {};
  if (SUCCEEDED(device->GetDisplayName(text))) info.displayName = text;
  text[0] = '\0';
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
  return info;
}

std::vector<DeviceInfo> ListDevices(DWORD session) {
  ComPtr<IAD_EnumDevice> devices;
  const HRESULT hr = Guarded("cannot list the devices", [&] { return keydepot::ad::GetDevicesEnum(session, devices.put()); });
  if (FAILED(hr)) FailWithHresult("cannot list the devices", hr);
  std::vector<DeviceInfo> found;
  for (;;) {
    ComPtr<IAD_Device> device;
    ULONG fetched = 0;
    const HRESULT next = devices->Next(1, device.put(), &fetched);
    if (fetched != 1) break;
    if (next == S_OK && device) found.push_back(Describe(device.get()));
  }
  return found;
}

int RunDevices(const std::string& filter, bool json) {
  DeviceSession session(filter);
  const std::vector<DeviceInfo> devices = ListDevices(session.handle());
  if (json) {
    Json list = Json::array();
    for (const DeviceInfo& d : devices) {
      list.push_back({{"type", d.type},
                      {"type_name", d.typeName},
                      {"display_name", d.displayName},
                      {"system_name", d.systemName},
                      {"id_text", d.idText},
                      {"device_path", d.devicePath},
                      {"crypto", d.crypto}});
    }
    PrintJson({{"devices", list}});
    return kOk;
  }
  if (devices.empty()) {
    std::cout << "No devices attached.\n";
    return kOk;
  }
  for (std::size_t i = 0; i < devices.size(); ++i) {
    const DeviceInfo& d = devices[i];
    if (i > 0) std::cout << '\n';
    std::cout << d.displayName << '\n';
    PrintFields({{"  type", std::to_string(d.type) + " (" + d.typeName + ")"},
                 {"  system name", d.systemName},
                 {"  identifier", d.idText},
                 {"  device path", d.devicePath},
                 {"  crypto", d.crypto ? "yes" : "no"}});
  }
  return kOk;
}

struct ContainerOptions {
  std::string location;
  std::string filter;
  bool paths = false;
  bool skipDefault = false;
  bool json = false;
};

int RunContainers(const ContainerOptions& o) {
  DeviceSession session(o.filter);
  std::list<std::string> names;
  const std::string what = o.location.empty() ? "cannot list the containers"
                                              : "cannot list the containers of " + o.location;
  const HRESULT hr = Guarded(what, [&] {
    return keydepot::ad::GetADContainerNames(session.handle(), o.location.empty() ? nullptr : o.location.c_str(), names,
                                             o.paths, o.skipDefault);
  });
  if (FAILED(hr)) FailWithHresult(what, hr);
  const bool partial = hr == kPartial;
  if (o.json) {
    Json list = Json::array();
    for (const std::string& name : names) list.push_back(name);
    PrintJson({{"location", o.location}, {"paths", o.paths}, {"containers", list}, {"partial", partial}});
  } else {
    for (const std::string& name : names) std::cout << name << '\n';
  }
  if (partial) std::cerr << "keydepot containers: some devices or containers were skipped after errors\n";
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
  CLI::App* c = AddCommand(app, "containers",
                           "List the containers a location names (all devices when no location is given)",
                           {"keydepot containers --skip-default", "keydepot containers '\\\\!\\SoftToken\\0A1B2C3D' --paths"});
  c->add_option("location", containers->location,
                "Device path, \\\\!\\TYPE\\ID\\CONTAINER, \\\\.\\NAME\\CONTAINER or a container name");
  c->add_flag("--paths", containers->paths, "Print full device paths instead of names");
  c->add_flag("--skip-default", containers->skipDefault, "List every container, not only the default one");
  AddFilterOption(c, &containers->filter);
  AddJsonFlag(c, &containers->json);
  c->callback([&run, containers] { run = [containers] { return RunContainers(*containers); }; });
}

}  // namespace kdcli
