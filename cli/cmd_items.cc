// show: what a stored item is. list: the items of a folder or of a device,
// with their sizes and, with --show, what each is.
#include "byte_io.h"
#include "commands.h"
#include "failure.h"
#include "item_summary.h"
#include "pkcs11_uri.h"
#include "storage_call.h"
#include "kdplatform/path_names.h"

#include <kdplatform/file_io.h>
#include <kdplatform/native_path.h>
#include <tools2/errors.h>

#include <algorithm>
#include <exception>
#include <memory>

namespace kdcli {

namespace {

struct ItemOptions {
  std::string path, filter;
  PinOptions pin;
  bool show = false;
  bool all = false;  // list: saves' leftover temporary files too
  bool json = false;
};

std::string KeyTypeText(DWORD type) {
  switch (type) {
    case 0: return "RSA";  // CKK_RSA
    case 1: return "DSA";
    case 2: return "DH";
    case 3: return "EC";
    case 0x40: return "Ed25519/Ed448";  // CKK_EC_EDWARDS
    default: return "key type " + std::to_string(type);
  }
}

// The key objects as keydepot show tells them: nothing of the keys' values.
Json KeyObjectsJson(const std::vector<AD_KeyObject>& keys) {
  static const std::pair<DWORD, const char*> kUsages[] = {
      {AD_KEY_USE_SIGN, "sign"},       {AD_KEY_USE_VERIFY, "verify"}, {AD_KEY_USE_DECRYPT, "decrypt"},
      {AD_KEY_USE_ENCRYPT, "encrypt"}, {AD_KEY_USE_UNWRAP, "unwrap"}, {AD_KEY_USE_WRAP, "wrap"},
      {AD_KEY_USE_DERIVE, "derive"}};
  Json objects = Json::array();
  for (const AD_KeyObject& key : keys) {
    Json usage = Json::array();
    for (const auto& [bit, word] : kUsages) {
      if ((key.usage & bit) != 0) usage.push_back(word);
    }
    const bool isPrivate = key.objectClass == 3;  // CKO_PRIVATE_KEY
    Json object = {{"class", isPrivate ? "private key" : "public key"},
                   {"type", KeyTypeText(key.keyType)},
                   {"bits", key.bits != 0 ? Json(key.bits) : Json(nullptr)},
                   {"usage", usage}};
    if (isPrivate) {
      object["sensitive"] = (key.flags & AD_KEY_SENSITIVE) != 0;
      object["extractable"] = (key.flags & AD_KEY_EXTRACTABLE) != 0;
    }
    objects.push_back(object);
  }
  return objects;
}

void PrintKeyObjects(const Json& keys) {
  if (keys.empty()) return;
  PrintLine("");
  PrintLine("key objects on the token");
  Fields fields;
  for (const Json& key : keys) {
    std::string text = key["type"].get<std::string>();
    if (!key["bits"].is_null()) text += " " + std::to_string(key["bits"].get<DWORD>()) + " bits";
    std::string usage;
    for (const Json& word : key["usage"]) usage += (usage.empty() ? "" : ", ") + word.get<std::string>();
    text += "; " + (usage.empty() ? std::string("no usage") : usage);
    if (key.contains("sensitive")) {
      text += std::string("; ") + (key["sensitive"].get<bool>() ? "sensitive" : "not sensitive") + ", " +
              (key["extractable"].get<bool>() ? "extractable" : "never leaves the token");
    }
    fields.push_back({"  " + key["class"].get<std::string>(), text});
  }
  PrintFields(fields);
}

// Standard input ("-"), or a local file that is a stream (a pipe, a FIFO,
// /dev/stdin): read here, since the library's items are files and devices.
bool IsStreamInput(const std::string& path) {
  if (path == "-") return true;
  const Target target(path);
  std::string native;
  if (target.IsDevice() || !kdp::ToNativePath(target.file().c_str(), &native)) return false;
  kdp::FileInfo info;
  return kdp::QueryFile(native, &info) == 0 && info.kind == kdp::FileKind::kOther;
}

int ShowStream(const ItemOptions& o) {
  std::string native = o.path;
  if (o.path != "-") kdp::ToNativePath(Target(o.path).file().c_str(), &native);
  const kdp::WipedBytes bytes = ReadAllBytes(native);
  const Json description = DescribeItem(bytes.data(), static_cast<DWORD>(bytes.size()));
  if (o.json) {
    Json j = {{"path", o.path}};
    j.update(description);
    PrintJson(j);
  } else {
    PrintDescription(o.path == "-" ? "standard input" : o.path, description);
  }
  return kOk;
}

int RunShow(const ItemOptions& o) {
  if (IsStreamInput(o.path)) return ShowStream(o);
  StorageCall call(o.path, o.filter, o.pin, false);
  IdentObj data;
  Json description;
  std::exception_ptr keysOnly;  // a key container without a certificate
  try {
    call.Load(&data);
    description = DescribeItem(data.pbData, data.cbData);
  } catch (const Failure& e) {
    if (!e.toolkit() || TooErr2HResult(*e.toolkit()) != kKeyNotExported) throw;
    keysOnly = std::current_exception();
  }
  const Json keys = KeyObjectsJson(call.ContainerKeys());
  if (keysOnly && keys.empty()) std::rethrow_exception(keysOnly);
  if (o.json) {
    Json j = TargetJson(call.target());
    if (!keysOnly) j.update(description);
    if (!keys.empty()) j["key_objects"] = keys;
    PrintJson(j);
    return kOk;
  }
  if (keysOnly) {
    PrintLine(o.path + ": a key container on a PKCS#11 token, without a certificate");
  } else {
    PrintDescription(o.path, description);
  }
  PrintKeyObjects(keys);
  return kOk;
}

struct Listed {
  std::string name, path;
  std::optional<std::uint64_t> bytes;
  std::string summary, error;
  Json description;
  std::optional<std::string> uri;  // on a PKCS#11 token: its data object's
  bool leftover = false;           // a temporary file an interrupted save left
};

void Describe(Listed& item, const IdentObj& data) {
  item.description = DescribeItem(data.pbData, data.cbData);
  item.summary = SummaryLine(item.description);
}

constexpr const char* kLeftover =
    "left by an interrupted save (the next save into this folder removes it once it is 10 minutes old)";

std::vector<Listed> ListFolder(const ItemOptions& o, const Target& target) {
  std::string native;
  if (!kdp::ToNativePath(target.file().c_str(), &native)) {
    throw Failure(kBadPath, "'" + target.file() + "' names a drive that is not mapped (KEYDEPOT_DRIVES)");
  }
  std::vector<Listed> items;
  for (const FolderFile& file : FilesIn(native, o.all)) {
    Listed item{file.name,    kdp::JoinPath(target.file(), file.name), file.size, {}, {}, nullptr, std::nullopt,
                file.leftover};
    if (file.leftover) {
      item.summary = kLeftover;
    } else if (o.show) {
      try {
        StorageCall call(item.path, o.filter, {}, false);
        IdentObj data;
        call.Load(&data);
        Describe(item, data);
      } catch (const Failure& e) {
        item.error = e.what();
      }
    }
    items.push_back(std::move(item));
  }
  return items;
}

std::vector<std::string> ItemNames(IAD_Device* device, const std::string& label) {
  ComPtr<IAD_KeyStorage> storage;
  device->QueryInterface(IID_IAD_KeyStorage, storage.put_void());
  if (!storage) {
    throw Failure(kFailed,
                  label + " keeps no items (it offers no key storage); keydepot containers lists its " + "containers");
  }
  ComPtr<IAD_EnumStorageItems> items;
  const HRESULT hr = storage->EnumItems(items.put());
  if (hr == E_ACCESSDENIED) {
    throw Failure(kPinRefused,
                  "cannot list the items of " + label +
                      ": the device shows its items only after its PIN (--ask-pin, --pin-file, "
                      "--pin-fd, --pin-env or --saved-pin)",
                  HResult2ToolsErr(hr));
  }
  if (FAILED(hr) || !items) FailWithHresult("cannot list the items of " + label, FAILED(hr) ? hr : E_UNEXPECTED);
  std::vector<std::string> names;
  for (;;) {
    ComPtr<IAD_StorageItem> item;
    ULONG fetched = 0;
    const HRESULT next = items->Next(1, item.put(), &fetched);
    if (fetched != 1) break;
    char name[AD_NAME_BUFFER] = {};
    if (next == S_OK && item && SUCCEEDED(item->GetName(name))) names.emplace_back(name);
  }
  return names;
}

std::vector<Listed> ListDevice(const ItemOptions& o, bool* pinNeeded) {
  StorageCall call(o.path, o.filter, o.pin, false, StorageCall::Use::kWholeDevice);
  const FoundDevice* device = call.Device();
  if (device == nullptr) throw Failure(kNotFound, "no attached device matches " + o.path);
  // A token shows its items only after a login; a wrong PIN is refused here,
  // once, before any item is touched.
  call.PresentPin();
  std::vector<Listed> items;
  const std::optional<AD_TokenInfo> token = TokenInfoOf(device->device.get());
  for (const std::string& name : ItemNames(device->device.get(), device->Label())) {
    Listed item{name, device->devicePath + name, std::nullopt, {}, {}, nullptr, std::nullopt, false};
    if (token) item.uri = TokenUri(*token, name, "data");
    if (name.find_first_of("\\|") != std::string::npos) {
      item.error = "the name holds '\\' or '|', which a device path cannot carry";
    } else if (!*pinNeeded) {
      try {
        IdentObj data;
        call.LoadItem(name, &data);
        item.bytes = data.cbData;
        if (o.show) Describe(item, data);
      } catch (const Failure& e) {
        // One refused PIN is enough: repeating it could lock the device.
        if (e.code() == kPinRefused && o.pin.Count() > 0) throw;
        if (e.code() == kPinRefused) {
          *pinNeeded = true;
        } else {
          item.error = e.what();
        }
      }
    }
    items.push_back(std::move(item));
  }
  return items;
}

int RunList(const ItemOptions& o) {
  const Target target(o.path);
  bool pinNeeded = false;
  const std::vector<Listed> items = target.IsDevice() ? ListDevice(o, &pinNeeded) : ListFolder(o, target);
  if (pinNeeded) Warn("item sizes need the device's PIN (--ask-pin, --pin-file, --pin-fd, --pin-env or --saved-pin)");
  if (o.json) {
    Json list = Json::array();
    for (const Listed& item : items) {
      Json j = {{"name", item.name}, {"path", item.path}, {"bytes", item.bytes ? Json(*item.bytes) : Json(nullptr)}};
      if (!item.description.is_null()) j["description"] = item.description;
      if (!item.error.empty()) j["error"] = item.error;
      if (item.uri) j["uri"] = *item.uri;
      if (item.leftover) j["leftover"] = true;
      list.push_back(j);
    }
    PrintJson({{"path", o.path}, {"items", list}});
    return kOk;
  }
  std::size_t nameWidth = 0;
  for (const Listed& item : items) nameWidth = std::max(nameWidth, item.name.size());
  for (const Listed& item : items) {
    const std::string size = item.bytes ? std::to_string(*item.bytes) : std::string("?");
    std::string line = std::string(size.size() < 10 ? 10 - size.size() : 0, ' ') + size + "  " + item.name;
    if (!item.summary.empty()) line += std::string(nameWidth - item.name.size() + 2, ' ') + item.summary;
    PrintLine(line);
    if (!item.error.empty()) Warn(item.error);
  }
  return kOk;
}

std::shared_ptr<ItemOptions> ItemCommand(CLI::App& app, Runner& run, const char* name, const char* description,
                                         std::initializer_list<const char*> examples,
                                         int (*function)(const ItemOptions&), const char* pathHelp) {
  auto options = std::make_shared<ItemOptions>();
  CLI::App* command = AddCommand(app, name, description, examples);
  command->add_option("path", options->path, pathHelp)->required();
  if (function == RunList) {
    command->add_flag("--show", options->show, "Tell what each item is (as keydepot show)");
    command->add_flag("--all", options->all, "Also list the temporary files interrupted saves left in a folder");
  }
  AddPinOptions(command, &options->pin);
  AddFilterOption(command, &options->filter);
  AddJsonFlag(command, &options->json);
  command->callback([&run, options, function] { run = [options, function] { return function(*options); }; });
  return options;
}

}  // namespace

void AddItemCommands(CLI::App& app, Runner& run) {
  ItemCommand(app, run, "list", "List the items of a folder or of a device, with their sizes",
              {"keydepot list /srv/keys --show", "keydepot list '\\\\!\\SoftToken\\0A1B2C3D' --pin-file pin.txt"},
              RunList, "Folder, or a storage path naming a device");
  ItemCommand(app, run, "show", "Tell what an item is: certificates, keys (type and size only, never the key) or data",
              {"keydepot show /srv/keys/cert.pem", "keydepot show '1|2\\5|100\\17|0A1B2C3D\\8|cert' --saved-pin"},
              RunShow, "Storage path");
}

}  // namespace kdcli
