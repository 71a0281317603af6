// filter save: writes a session's device-type filter back to its file (a
// filter file that did not exist yet is created with the empty filter).
#include "commands.h"
#include "device_session.h"
#include "failure.h"
#include "output.h"

#include "base/shared_files.h"

#include <iostream>
#include <memory>

namespace kdcli {

namespace {

struct FilterOptions {
  std::string filter;
  bool json = false;
};

int RunFilterSave(const FilterOptions& o) {
  DeviceSession session(o.filter);
  const std::string target = o.filter.empty()
                                 ? "the shared device-type filter " + nodyx::SharedDataFile(nodyx::kTypeFilterFileName)
                                 : o.filter;
  const HRESULT hr =
      Guarded("cannot save " + target, [&] { return keydepot::ad::SaveSessionDeviceFilter(session.handle()); });
  if (hr == HRESULT_FROM_WIN32(ERROR_PATH_NOT_FOUND)) {
    // The shared folder is made by an administrator (or the installer), not
    // by whoever saves a filter first: it decides for every user.
    throw Failure(kNotFound, "cannot save " + target + ": its folder does not exist" +
                                 (o.filter.empty() ? " (an administrator creates it; or save a filter of your own "
                                                     "with --filter FILE)"
                                                   : ""));
  }
  if (FAILED(hr)) FailWithHresult("cannot save " + target, hr);
  if (o.json) {
    PrintJson({{"filter", o.filter.empty() ? Json(nullptr) : Json(o.filter)}, {"saved", true}});
  } else {
    std::cout << "Saved " << target << '\n';
  }
  return kOk;
}

}  // namespace

void AddFilterCommands(CLI::App& app, Runner& run) {
  CLI::App* filter = app.add_subcommand("filter", "Device-type filter files");
  filter->require_subcommand(1);
  filter->footer("Example:\n  keydepot filter save --filter ./device_type_filter.xml");
  auto options = std::make_shared<FilterOptions>();
  CLI::App* save = AddCommand(*filter, "save", "Write the session's device-type filter to its file",
                              {"keydepot filter save --filter ./device_type_filter.xml"});
  AddFilterOption(save, &options->filter);
  AddJsonFlag(save, &options->json);
  save->callback([&run, options] { run = [options] { return RunFilterSave(*options); }; });
}

}  // namespace kdcli
