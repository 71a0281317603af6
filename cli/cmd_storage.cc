// load, save, exists, size and delete: one storage function on one path.
#include "byte_io.h"
#include "item_summary.h"
#include "commands.h"
#include "failure.h"
#include "output.h"
#include "storage_call.h"

#include <iostream>
#include <functional>
#include <memory>

namespace kdcli {

namespace {

struct StorageOptions {
  std::string path, filter, file;
  PinOptions pin;
  bool raw = false;
  std::string as = "item";
  bool noClobber = false;
  bool allowEmpty = false;
  bool json = false;
};

bool IsStandardStream(const std::string& file) { return file.empty() || file == "-"; }

int RunLoad(const StorageOptions& o) {
  if (o.json && IsStandardStream(o.file))
    throw Failure(kUsage, "--json needs -o FILE: standard output carries the item");
  StorageCall call(o.path, o.filter, o.pin, false);
  IdentObj data;
  if (o.raw) {
    call.LoadRaw(&data);
  } else {
    call.Load(&data);
  }
  WriteAll(o.file, data.pbData, data.cbData);
  if (IsStandardStream(o.file)) return kOk;
  if (o.json) {
    const IdentObj& id = call.deviceId();
    Json j = TargetJson(call.target());
    j["output"] = o.file;
    j["bytes"] = data.cbData;
    j["device_id"] = id.cbData > 0 ? Json(HexBytes(id.pbData, id.cbData)) : Json(nullptr);
    PrintJson(j);
  } else {
    Say("Loaded " + std::to_string(data.cbData) + " bytes from " + o.path + " into " + o.file);
  }
  return kOk;
}

int RunSave(const StorageOptions& o) {
  const kdp::WipedBytes input = ReadAllBytes(o.file);
  if (input.size() == 0 && !o.allowEmpty) {
    const std::string source = IsStandardStream(o.file) ? "standard input" : o.file;
    throw Failure(kLocalIo, source + " is empty, so nothing was saved and " + o.path +
                                " is unchanged (--allow-empty saves an empty item)");
  }
  StorageCall call(o.path, o.filter, o.pin, IsStandardStream(o.file));
  if (o.noClobber && call.Exists()) {
    throw Failure(kExists, o.path + " exists already; nothing was saved (--no-clobber)");
  }
  DWORD saved = 0;
  if (o.as == "certificate") {
    const kdp::WipedBytes der = CertificateDer(input.data(), input.size());
    call.SaveCertificate(der);
    saved = static_cast<DWORD>(der.size());
  } else {
    IdentObj data(input.data(), static_cast<DWORD>(input.size()));
    call.Save(&data);
    saved = data.cbData;
  }
  if (o.json) {
    Json j = TargetJson(call.target());
    j["bytes"] = saved;
    if (o.as == "certificate") j["as"] = o.as;
    PrintJson(j);
  } else {
    Say("Saved " + std::to_string(saved) + " bytes to " + o.path + (o.as == "certificate" ? " as a certificate" : ""));
  }
  return kOk;
}

int RunExists(const StorageOptions& o) {
  StorageCall call(o.path, o.filter, o.pin, false);
  const bool exists = call.Exists();
  if (o.json) {
    Json j = TargetJson(call.target());
    j["exists"] = exists;
    PrintJson(j);
  } else {
    Say(exists ? "exists" : "does not exist");
  }
  return exists ? kOk : kNo;
}

int RunSize(const StorageOptions& o) {
  StorageCall call(o.path, o.filter, o.pin, false);
  const DWORD size = call.Room();
  if (o.json) {
    Json j = TargetJson(call.target());
    j["size"] = size;
    PrintJson(j);
  } else {
    std::cout << size << '\n';
  }
  return kOk;
}

int RunDelete(const StorageOptions& o) {
  StorageCall call(o.path, o.filter, o.pin, false);
  call.Delete();
  if (o.json) {
    Json j = TargetJson(call.target());
    j["deleted"] = true;
    PrintJson(j);
  } else {
    Say("Deleted " + o.path);
  }
  return kOk;
}

using RunFunction = int (*)(const StorageOptions&);

// Declares one storage command; `extra` adds its own options, which come
// before the shared ones in --help.
void StorageCommand(CLI::App& app, Runner& run, const char* name, const char* description,
                    std::initializer_list<const char*> examples, RunFunction function,
                    const std::function<void(CLI::App*, StorageOptions*)>& extra = {}, bool takesPin = true) {
  auto options = std::make_shared<StorageOptions>();
  CLI::App* command = AddCommand(app, name, description, examples);
  command->add_option("path", options->path, "Storage path")->required();
  if (extra) extra(command, options.get());
  if (takesPin) AddPinOptions(command, &options->pin);
  AddFilterOption(command, &options->filter);
  AddJsonFlag(command, &options->json);
  command->callback([&run, options, function] { run = [options, function] { return function(*options); }; });
}

}  // namespace

Json TargetJson(const Target& target) {
  Json j = {{"path", target.given()}};
  if (target.WasDesignation()) j["resolved"] = target.path();
  return j;
}

void AddStorageCommands(CLI::App& app, Runner& run) {
  StorageCommand(
      app, run, "load", "Load an item and write its exact bytes to a file or standard output",
      {"keydepot load /srv/keys/cert.pem -o cert.pem",
       "keydepot load '1|2\\5|100\\17|0A1B2C3D\\8|keys' --pin-file pin.txt > keys.bin"},
      RunLoad, [](CLI::App* c, StorageOptions* o) {
        c->add_option("-o,--output", o->file, "Output file ('-' or none: standard output)")->type_name("FILE");
        c->add_flag("--raw", o->raw, "Write a device item's stored bytes whole, length prefix included");
      });
  StorageCommand(app, run, "save", "Save the exact bytes of a file or standard input as an item",
                 {"keydepot save /srv/keys/cert.pem -i cert.pem --no-clobber",
                  "keydepot save '\\\\!\\SoftToken\\0A1B2C3D\\keys' --pin-env KD_PIN < keys.bin"},
                 RunSave, [](CLI::App* c, StorageOptions* o) {
                   c->add_option("-i,--input", o->file, "Input file ('-' or none: standard input)")->type_name("FILE");
                   c->add_flag("--no-clobber", o->noClobber, "Fail (exit 8) when the item exists already");
                   c->add_flag("--allow-empty", o->allowEmpty, "Save empty input as an empty item (refused otherwise)");
                   c->add_option("--as", o->as,
                                 "certificate: one X.509 certificate (DER, PEM) as a PKCS#11 certificate object")
                       ->check(CLI::IsMember({"item", "certificate"}))
                       ->type_name("KIND");
                 });
  StorageCommand(app, run, "exists", "Tell whether an item exists (exit 1: it does not)",
                 {"keydepot exists /srv/keys/cert.pem && echo present"}, RunExists);
  StorageCommand(app, run, "size", "Show the room of the storage a path names, in bytes",
                 {"keydepot size /srv/keys/cert.pem"}, RunSize, {}, false);
  StorageCommand(app, run, "delete", "Delete an item (exit 4: it does not exist)",
                 {"keydepot delete /srv/keys/old.pem"}, RunDelete);
}

}  // namespace kdcli
