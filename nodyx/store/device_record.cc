#include "device_record.h"

#include "device_types.h"
#include "hex.h"

#include <nlohmann/json.hpp>

#include <cstdint>
#include <limits>

namespace nodyx {

namespace {

using nlohmann::json;

constexpr int kFormat = 1;

// Why a description is refused; thrown inside the parser only.
struct Refused {
  std::string why;
};

const json& Required(const json& object, const char* key) {
  const auto it = object.find(key);
  if (it == object.end()) throw Refused{std::string("\"") + key + "\" is missing"};
  return *it;
}

// An integer field of type T: a JSON integer within T's range. A fraction, an
// exponent form (1e300) or a value out of range is refused: converting such a
// number would be undefined or would wrap silently.
template <class T>
T Integer(const json& value, const char* key) {
  constexpr auto lo = static_cast<std::int64_t>(std::numeric_limits<T>::min());
  constexpr auto hi = static_cast<std::uint64_t>(std::numeric_limits<T>::max());
  const bool fits = value.is_number_unsigned()  ? value.get<std::uint64_t>() <= hi
                    : value.is_number_integer() ? value.get<std::int64_t>() >= lo
                                                : false;
  if (!fits) {
    throw Refused{std::string("\"") + key + "\" must be an integer from " + std::to_string(lo) + " to " +
                  std::to_string(hi) + ", not " + value.dump()};
  }
  return value.get<T>();
}

template <class T>
T Integer(const json& object, const char* key, T fallback) {
  const auto it = object.find(key);
  return it == object.end() ? fallback : Integer<T>(*it, key);
}

std::string Text(const json& object, const char* key) {
  const json& value = Required(object, key);
  if (!value.is_string()) throw Refused{std::string("\"") + key + "\" must be a text"};
  return value.get<std::string>();
}

std::vector<std::uint8_t> Hex(const json& object, const char* key) {
  auto bytes = FromHex(Text(object, key));
  if (!bytes) throw Refused{std::string("\"") + key + "\" must be an even number of hex digits"};
  return std::move(*bytes);
}

// A PIN hash object ({"salt", "iterations", "hash"}); absent or null: none.
std::optional<PinHash> PinField(const json& doc, const char* key) {
  const auto pin = doc.find(key);
  if (pin == doc.end() || pin->is_null()) return std::nullopt;
  if (!pin->is_object()) throw Refused{std::string("\"") + key + "\" must be an object"};
  PinHash hash;
  try {
    hash.salt = Hex(*pin, "salt");
    hash.hash = Hex(*pin, "hash");
    hash.iterations = Integer<std::uint32_t>(Required(*pin, "iterations"), "iterations");
    if (const char* problem = PinHashProblem(hash)) throw Refused{problem};
  } catch (const Refused& refused) {
    throw Refused{std::string("\"") + key + "\": " + refused.why};
  }
  return hash;
}

json PinJson(const PinHash& pin) {
  return {{"salt", ToHex(pin.salt.data(), pin.salt.size())},
          {"iterations", pin.iterations},
          {"hash", ToHex(pin.hash.data(), pin.hash.size())}};
}

DeviceRecord Parse(const json& doc) {
  if (!doc.is_object()) throw Refused{"not a JSON object"};
  DeviceRecord r;
  const int format = Integer<int>(Required(doc, "format"), "format");
  if (format != kFormat) throw Refused{"unsupported \"format\" " + std::to_string(format)};
  r.type = Integer<std::int32_t>(Required(doc, "type"), "type");
  if (FindFolderDeviceType(r.type) == nullptr) {
    throw Refused{"device type " + std::to_string(r.type) + " is not one of the software token's"};
  }
  r.id = Hex(doc, "id");
  if (r.id.size() > kMaxIdBytes) throw Refused{"\"id\" is longer than " + std::to_string(kMaxIdBytes) + " bytes"};
  r.displayName = Text(doc, "displayName");
  r.systemName = Text(doc, "systemName");
  r.defaultContainer = doc.value("defaultContainer", std::string());
  r.sizeValue = Integer<std::uint32_t>(doc, "sizeValue", kDefaultDeviceBytes);
  r.room = Integer<std::uint32_t>(doc, "room", kDefaultDeviceBytes);
  r.keyStorage = doc.value("keyStorage", true);
  r.cryptoDevice = doc.value("cryptoDevice", false);
  r.cryptoFlag = Integer<std::int32_t>(doc, "cryptoFlag", 0);
  r.detached = doc.value("detached", false);
  r.pin = PinField(doc, "pin");
  r.adminPin = PinField(doc, "adminPin");
  r.pinTryLimit = Integer<std::uint32_t>(doc, "pinTryLimit", kDefaultPinTryLimit);
  if (r.pinTryLimit == 0 || r.pinTryLimit > kMaxPinTryLimit) {
    throw Refused{"\"pinTryLimit\" must be from 1 to " + std::to_string(kMaxPinTryLimit) + ", not " +
                  std::to_string(r.pinTryLimit)};
  }
  return r;
}

}  // namespace

std::optional<DeviceRecord> ParseDeviceRecord(const std::string& text, std::string* problem) {
  std::string why;
  try {
    return Parse(json::parse(text));
  } catch (const Refused& refused) {
    why = refused.why;
  } catch (const json::exception& error) {
    // Malformed text, and fields of the wrong type (for example a text where
    // a boolean belongs).
    why = error.what();
  }
  if (problem) *problem = std::move(why);
  return std::nullopt;
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
      {"pinTryLimit", r.pinTryLimit},
  };
  if (r.pin) doc["pin"] = PinJson(*r.pin);
  if (r.adminPin) doc["adminPin"] = PinJson(*r.adminPin);
  return doc.dump(2) + "\n";
}

}  // namespace nodyx
