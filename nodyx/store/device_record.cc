#include "device_record.h"

#include "device_types.h"
#include "hex.h"

#include <nlohmann/json.hpp>

namespace nodyx {

namespace {

using nlohmann::json;

constexpr int kFormat = 1;

std::optional<std::vector<std::uint8_t>> HexField(const json& object, const char* key) {
  const auto it = object.find(key);
  if (it == object.end() || !it->is_string()) return std::nullopt;
  return FromHex(it->get<std::string>());
}

}  // namespace

std::optional<DeviceRecord> ParseDeviceRecord(const std::string& text) {
  const json doc = json::parse(text, nullptr, /*allow_exceptions=*/false);
  if (!doc.is_object()) return std::nullopt;
  try {
    DeviceRecord r;
    if (doc.value("format", 0) != kFormat) return std::nullopt;
    r.type = doc.at("type").get<std::int32_t>();
    if (FindFolderDeviceType(r.type) == nullptr) return std::nullopt;
    auto id = HexField(doc, "id");
    if (!id || id->size() > kMaxIdBytes) return std::nullopt;
    r.id = std::move(*id);
    r.displayName = doc.at("displayName").get<std::string>();
    r.systemName = doc.at("systemName").get<std::string>();
    r.defaultContainer = doc.value("defaultContainer", std::string());
    r.sizeValue = doc.value("sizeValue", kDefaultDeviceBytes);
    r.room = doc.value("room", kDefaultDeviceBytes);
    r.keyStorage = doc.value("keyStorage", true);
    r.cryptoDevice = doc.value("cryptoDevice", false);
    r.cryptoFlag = doc.value("cryptoFlag", 0);
    r.detached = doc.value("detached", false);
    if (const auto pin = doc.find("pin"); pin != doc.end() && !pin->is_null()) {
      PinHash hash;
      auto salt = HexField(*pin, "salt");
      auto digest = HexField(*pin, "hash");
      if (!salt || !digest) return std::nullopt;
      hash.salt = std::move(*salt);
      hash.hash = std::move(*digest);
      hash.iterations = pin->at("iterations").get<std::uint32_t>();
      r.pin = std::move(hash);
    }
    return r;
  } catch (const json::exception&) {
    // Missing fields and wrong types end up here: the device is skipped.
    return std::nullopt;
  }
}

std::string SerializeDeviceRecord(const DeviceRecord& r) {
  json doc = {
      {"format", kFormat},
      {"type", r.type},
      {"id", ToHex(r.id.data(), r.id.size())},
      {"displayName", r.displayName},
      {"systemName", r.systemName},
      {"defaultContainer", r.defaultContainer},
      {"sizeValue", r.sizeValue},
      {"room", r.room},
      {"keyStorage", r.keyStorage},
      {"cryptoDevice", r.cryptoDevice},
      {"cryptoFlag", r.cryptoFlag},
      {"detached", r.detached},
  };
  if (r.pin) {
    doc["pin"] = {{"salt", ToHex(r.pin->salt.data(), r.pin->salt.size())},
                  {"iterations", r.pin->iterations},
                  {"hash", ToHex(r.pin->hash.data(), r.pin->hash.size())}};
  }
  return doc.dump(2) + "\n";
}

}  // namespace nodyx
