// nodyx-admin: sets up and inspects the devices of the software token's
// store. Exit codes and --json error objects are keydepot's
// (kdtools/exit_codes.h, report.h).
#include "commands.h"
#include "pkcs11_commands.h"
#include "saved_pin_commands.h"
#include "unblock_commands.h"

#include <CLI/CLI.hpp>
#include <kdplatform/terminal.h>
#include <kdtools/json_output.h>

#include <functional>
#include <iostream>

namespace {

using nodyx::DeviceStore;
namespace admin = nodyx::admin;

CLI::App* Command(CLI::App& app, const char* name, const char* description, const char* example) {
  CLI::App* sub = app.add_subcommand(name, description);
  sub->footer(std::string("Example:\n  ") + example);
  return sub;
}

// Every command that runs something takes --json, as keydepot's commands do.
void AddJsonFlags(CLI::App& app, bool* json) {
  for (CLI::App* sub : app.get_subcommands({})) {
    if (sub->get_subcommands({}).empty()) {
      sub->add_flag("--json", *json, "Print one JSON object (shapes in docs/cli.md)");
    } else {
      AddJsonFlags(*sub, json);
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  const kdp::ConsoleShowsAnsiText console;
  CLI::App app{"Manages the devices of the nodyx software token."};
  app.footer(
      "The store is --store, else $NODYX_STORE, else Maltrove/nodyx in the common application-data folder.\n"
      "Example:\n  nodyx-admin --store /tmp/store create token1 --type 100 --id 0A1B2C3D");
  app.require_subcommand(1);
  std::string storeDir;
  app.add_option("--store", storeDir, "Device store folder");

  std::function<int(const DeviceStore&)> run;
  std::string device, item, container, file, pinFile;

  admin::CreateOptions create;
  CLI::App* c = Command(app, "create", "Create a device",
                        "nodyx-admin create token1 --type 100 --id 0A1B2C3D --display-name \"My token\"");
  c->add_option("device", create.device, "Device folder name")->required();
  c->add_option("--type", create.type, "Device type number (100, 101, 102, 200)");
  c->add_option("--id", create.idHex, "Identifier in hex, at most 31 bytes (default: 8 random bytes)");
  c->add_option("--display-name", create.displayName, "Display name (default: type name and folder)");
  c->add_option("--system-name", create.systemName, "System name (default: the folder name)");
  c->add_option("--default-container", create.defaultContainer, "Default container name");
  c->add_option("--size-value", create.sizeValue, "Value of the device's size slot");
  c->add_option("--room", create.room, "Room for one item, in bytes");
  c->add_flag("--no-key-storage", create.noKeyStorage, "Do not offer key storage (named items)");
  c->add_flag("--crypto", create.crypto, "Offer crypto containers");
  c->add_option("--crypto-flag", create.cryptoFlag, "Value of the crypto device's flag");
  c->add_flag("--detached", create.detached, "Create the device detached");
  c->add_option("--pin-try-limit", create.pinTryLimit,
                "Wrong PINs in a row that lock the device (1 to 100, default 10)");
  c->add_option("--admin-pin-file", create.adminPinFile, "File whose first line is the admin PIN, which unblocks");
  c->callback([&] { run = [&](const DeviceStore& s) { return admin::CreateDevice(s, create); }; });

  Command(app, "list", "List all devices: folder, type, identifier, state, display name", "nodyx-admin list")
      ->callback([&] { run = [](const DeviceStore& s) { return admin::ListDevices(s); }; });

  auto deviceCommand = [&](const char* name, const char* description, const char* example,
                           std::function<int(const DeviceStore&)> action) {
    CLI::App* sub = Command(app, name, description, example);
    sub->add_option("device", device, "Device folder name")->required();
    sub->callback([&run, action] { run = action; });
    return sub;
  };

  deviceCommand("show", "Show a device's description (never its PIN)", "nodyx-admin show token1",
                [&](const DeviceStore& s) { return admin::ShowDevice(s, device); });
  deviceCommand("remove", "Remove a device and everything on it", "nodyx-admin remove token1",
                [&](const DeviceStore& s) { return admin::RemoveDevice(s, device); });
  deviceCommand("attach", "Attach a detached device", "nodyx-admin attach token1",
                [&](const DeviceStore& s) { return admin::SetDetached(s, device, false); });
  deviceCommand("detach", "Detach a device; it stays in the store but is not seen", "nodyx-admin detach token1",
                [&](const DeviceStore& s) { return admin::SetDetached(s, device, true); });
  deviceCommand("set-pin", "Set the PIN, read from --pin-file, standard input or a prompt",
                "nodyx-admin set-pin token1 --pin-file ./pin.txt",
                [&](const DeviceStore& s) { return admin::SetPin(s, device, pinFile); })
      ->add_option("--pin-file", pinFile, "File whose first line is the PIN");
  deviceCommand("clear-pin", "Remove the PIN", "nodyx-admin clear-pin token1",
                [&](const DeviceStore& s) { return admin::ClearPin(s, device); });
  admin::AddUnblockCommands(app, run);
  deviceCommand("list-items", "List the stored items", "nodyx-admin list-items token1",
                [&](const DeviceStore& s) { return admin::ListItems(s, device); });
  deviceCommand("list-containers", "List the containers", "nodyx-admin list-containers token1",
                [&](const DeviceStore& s) { return admin::ListContainers(s, device); });

  auto itemCommand = [&](const char* name, const char* description, const char* example,
                         std::function<int(const DeviceStore&)> action) {
    CLI::App* sub = deviceCommand(name, description, example, std::move(action));
    sub->add_option("item", item, "Item name")->required();
    return sub;
  };
  bool raw = false;
  CLI::App* put = itemCommand("put-item", "Store an item from --from (default: standard input) as keydepot save does",
                              "nodyx-admin put-item token1 keys --from ./keys.bin",
                              [&](const DeviceStore& s) { return admin::PutItem(s, device, item, file, raw); });
  put->add_option("--from", file, "Input file, '-' for standard input");
  put->add_flag("--raw", raw, "Store the bytes as they are, without the 4-byte length keydepot reads first");
  CLI::App* get = itemCommand("get-item", "Write an item to --to (default: standard output)",
                              "nodyx-admin get-item token1 keys --to ./keys.bin",
                              [&](const DeviceStore& s) { return admin::GetItem(s, device, item, file, raw); });
  get->add_option("--to", file, "Output file, '-' for standard output");
  get->add_flag("--raw", raw, "Write the stored bytes whole, length included");
  itemCommand("delete-item", "Delete an item", "nodyx-admin delete-item token1 keys",
              [&](const DeviceStore& s) { return admin::DeleteItem(s, device, item); });

  auto containerCommand = [&](const char* name, const char* description, const char* example,
                              std::function<int(const DeviceStore&)> action) {
    CLI::App* sub = deviceCommand(name, description, example, std::move(action));
    sub->add_option("container", container, "Container name")->required();
    return sub;
  };
  containerCommand("put-container", "Create a container", "nodyx-admin put-container token1 sgn_cont",
                   [&](const DeviceStore& s) { return admin::AddContainer(s, device, container); });
  containerCommand("remove-container", "Remove a container", "nodyx-admin remove-container token1 sgn_cont",
                   [&](const DeviceStore& s) { return admin::RemoveContainer(s, device, container); });

  admin::AddSavedPinCommands(app, run);
  admin::AddPkcs11Commands(app, run);

  bool json = false;
  AddJsonFlags(app, &json);
  admin::SetJsonOutput(kdtools::WantsJson(argc, argv));
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    if (app.exit(e) == 0) return admin::kOk;
    if (admin::JsonOutput()) kdtools::PrintJsonError(kdtools::Failure(admin::kUsage, e.what()));
    return admin::kUsage;
  }

  if (storeDir.empty()) {
    const HRESULT hr = DeviceStore::DefaultRoot(&storeDir);
    if (FAILED(hr))
      return admin::Finish(admin::Report(admin::kFailed, "the default store folder is not known; use --store", hr));
  }
  try {
    return admin::Finish(run(DeviceStore(storeDir)));
  } catch (const kdtools::Failure& e) {
    return admin::Finish(admin::Report(e));
  } catch (const std::exception& e) {
    return admin::Finish(admin::Report(admin::kFailed, e.what()));
  }
}
