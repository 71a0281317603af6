// load, save, exists, size and delete: one storage function on one path.
#include "byte_io.h"
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
  bool json = false;
};

bool IsStandardStream(const std::string& file) { return file.empty() || file == "-"; }

int RunLoad(const StorageOptions& o) {
  if (o.json && IsStandardStream(o.file)) throw Failure(kUsage, "--json needs -o FILE: standard output carries the item");
  StorageCall call(o.path, o.filter, o.pin, false);
  IdentObj data;
  call.record().data = &data;
  const bool ok = call.Run([&](keydepot::CertInfo* r) { return o.raw ? keydepot::LoadVpn2Pass(r) : keydepot::Load(r); });
  if (!ok) {
    if (o.raw && keydepot::KDPGetLastError() == 0) {
      throw Failure(kFailed, "cannot load " + o.path + " raw: only device paths keep raw records");
    }
    call.Fail("cannot load " + o.path);
  }
  WriteAll(o.file, data.pbData, data.cbData);
  if (IsStandardStream(o.file)) return kOk;
  const IdentObj& id = call.record().deviceId;
  const std::string idHex = HexBytes(id.pbData, id.cbData);
  if (o.json) {
    PrintJson({{"path", o.path},
               {"output", o.file},
               {"bytes", data.cbData},
               {"device_id", idHex.empty() ? Json(nullptr) : Json(idHex)}});
  } else {
    std::cout << "Loaded " << data.cbData << " bytes from " << o.path << " into " << o.file << '\n';
  }
  return kOk;
}

int RunSave(const StorageOptions& o) {
  const kdp::WipedBytes input = ReadAllBytes(o.file);
  StorageCall call(o.path, o.filter, o.pin, IsStandardStream(o.file));
  IdentObj data(input.data(), static_cast<DWORD>(input.size()));
  call.record().data = &data;
  if (!call.Run([](keydepot::CertInfo* r) { return keydepot::Save(r); })) call.Fail("cannot save " + o.path);
  if (o.json) {
    PrintJson({{"path", o.path}, {"bytes", data.cbData}});
  } else {
    std::cout << "Saved " << data.cbData << " bytes to " << o.path << '\n';
  }
  return kOk;
}

int RunExists(const StorageOptions& o) {
  StorageCall call(o.path, o.filter, o.pin, false);
  const bool exists = call.Run([](keydepot::CertInfo* r) { return keydepot::IsExist(r); });
  // False with a code is a failure to find out, not an answer.
  if (!exists && keydepot::KDPGetLastError() != 0) call.Fail("cannot test " + o.path);
  if (o.json) {
    PrintJson({{"path", o.path}, {"exists", exists}});
  } else {
    std::cout << (exists ? "exists" : "does not exist") << '\n';
  }
  return exists ? kOk : kNo;
}

int RunSize(const StorageOptions& o) {
  StorageCall call(o.path, o.filter, o.pin, false);
  DWORD size = 0;
  call.Run([&](keydepot::CertInfo* r) {
    size = keydepot::GetSize(r);
    return size != 0;
  });
  if (size == 0 && keydepot::KDPGetLastError() != 0) call.Fail("cannot measure " + o.path);
  if (o.json) {
    PrintJson({{"path", o.path}, {"size", size}});
  } else {
    std::cout << size << '\n';
  }
  return kOk;
}

int RunDelete(const StorageOptions& o) {
  StorageCall call(o.path, o.filter, o.pin, false);
  if (!call.Run([](keydepot::CertInfo* r) { return keydepot::Clear(r); })) call.Fail("cannot delete " + o.path);
  if (o.json) {
    PrintJson({{"path", o.path}, {"deleted", true}});
  } else {
    std::cout << "Deleted " << o.path << '\n';
  }
  return kOk;
}

using RunFunction = int (*)(const StorageOptions&);

// Declares one storage command; `extra` adds its own options, which come
// before the shared ones in --help.
void StorageCommand(CLI::App& app, Runner& run, const char* name, const char* description,
                    std::initializer_list<const char*> examples, RunFunction function,
                    const std::function<void(CLI::App*, StorageOptions*)>& extra = {}) {
  auto options = std::make_shared<StorageOptions>();
  CLI::App* command = AddCommand(app, name, description, examples);
  command->add_option("path", options->path, "Storage path")->required();
  if (extra) extra(command, options.get());
  AddPinOptions(command, &options->pin);
  AddFilterOption(command, &options->filter);
  AddJsonFlag(command, &options->json);
  command->callback([&run, options, function] { run = [options, function] { return function(*options); }; });
}

}  // namespace

void AddStorageCommands(CLI::App& app, Runner& run) {
  StorageCommand(app, run, "load", "Load an item and write its exact bytes to a file or standard output",
                 {"keydepot load /srv/keys/cert.pem -o cert.pem",
                  "keydepot load '1|2\\5|100\\17|0A1B2C3D\\8|keys' --pin-file pin.txt > keys.bin"},
                 RunLoad, [](CLI::App* c, StorageOptions* o) {
                   c->add_option("-o,--output", o->file, "Output file ('-' or none: standard output)")->type_name("FILE");
                   c->add_flag("--raw", o->raw, "Write the stored record whole, length prefix included (device paths only)");
                 });
  StorageCommand(app, run, "save", "Save the exact bytes of a file or standard input as an item",
                 {"keydepot save /srv/keys/cert.pem -i cert.pem",
                  "keydepot save '1|2\\5|100\\17|0A1B2C3D\\8|keys' --pin-env KD_PIN < keys.bin"},
                 RunSave, [](CLI::App* c, StorageOptions* o) {
                   c->add_option("-i,--input", o->file, "Input file ('-' or none: standard input)")->type_name("FILE");
                 });
  StorageCommand(app, run, "exists", "Tell whether an item exists (exit 1: it does not)",
                 {"keydepot exists /srv/keys/cert.pem && echo present"}, RunExists);
  StorageCommand(app, run, "size", "Show the room of the storage a path names, in bytes",
                 {"keydepot size /srv/keys/cert.pem"}, RunSize);
  StorageCommand(app, run, "delete", "Delete an item", {"keydepot delete /srv/keys/old.pem"}, RunDelete);
}

}  // namespace kdcli
