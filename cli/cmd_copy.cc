// copy: an item from one storage path to another (file to device, device to
// device, ...), read back afterwards to check that it arrived whole.
#include "commands.h"
#include "failure.h"
#include "storage_call.h"

#include <keydepot/keydepot.h>

#include <cstring>
#include <memory>

namespace kdcli {

namespace {

struct CopyOptions {
  std::string source, destination, filter;
  PinOptions sourcePin, destinationPin;
  bool noClobber = false;
  bool json = false;
};

int RunCopy(const CopyOptions& o) {
  StorageCall source(o.source, o.filter, o.sourcePin, false);
  StorageCall destination(o.destination, o.filter, o.destinationPin, false);
  if (SamePlace(source.PlacePath(), destination.PlacePath(), true))
    throw Failure(kUsage, o.source + " and " + o.destination + " name the same item");

  IdentObj data;
  source.Load(&data);
  if (o.noClobber && destination.Exists()) {
    throw Failure(kExists, o.destination + " exists already; nothing was copied (--no-clobber)");
  }
  destination.Save(&data);
  IdentObj check;
  destination.Load(&check);
  if (check.cbData != data.cbData || std::memcmp(check.pbData, data.pbData, data.cbData) != 0) {
    throw Failure(kFailed, "the copy at " + o.destination + " reads back differently (" + std::to_string(data.cbData) +
                               " bytes written, " + std::to_string(check.cbData) + " read); do not rely on it");
  }
  if (o.json) {
    PrintJson({{"source", TargetJson(source.target())},
               {"destination", TargetJson(destination.target())},
               {"bytes", data.cbData},
               {"verified", true}});
  } else {
    Say("Copied " + std::to_string(data.cbData) + " bytes from " + o.source + " to " + o.destination +
        " (read back and compared)");
  }
  return kOk;
}

}  // namespace

void AddCopyCommand(CLI::App& app, Runner& run) {
  auto options = std::make_shared<CopyOptions>();
  CLI::App* command =
      AddCommand(app, "copy", "Copy an item to another storage path and check that it reads back the same",
                 {"keydepot copy /srv/keys/cert.pem '\\\\!\\SoftToken\\0A1B2C3D\\cert' --dst-pin-file pin.txt",
                  "keydepot copy '1|2\\5|100\\17|0A1B\\8|k' '1|2\\5|100\\17|0C0D\\8|k' --src-saved-pin --dst-ask-pin"});
  command->add_option("source", options->source, "Storage path of the item")->required();
  command->add_option("destination", options->destination, "Storage path to write it to")->required();
  command->add_flag("--no-clobber", options->noClobber, "Fail (exit 8) when the destination exists already");
  AddPinOptions(command, &options->sourcePin, "src", "source");
  AddPinOptions(command, &options->destinationPin, "dst", "destination");
  AddFilterOption(command, &options->filter);
  AddJsonFlag(command, &options->json);
  command->callback([&run, options] { run = [options] { return RunCopy(*options); }; });
}

}  // namespace kdcli
