// The device path parser.
#include "ad/ad_path_props.h"
#include "ad/device_reading.h"
#include "ad/identifier_text.h"
#include "number_text.h"

#include <algorithm>
#include <string_view>

namespace keydepot::ad {
namespace {

// An empty raw field stands for at most as many zero bytes as a device may
// report as its identifier: a short text must not make the parser allocate
// gigabytes. A raw field that holds the bytes is taken whatever its length.
constexpr long kMaxLegacyZeroIdentifier = detail::kMaxDeviceIdBytes;

// The fields of a device path: the texts between backslashes, empty ones
// included, so n backslashes make n + 1 fields. Views into the path. Each
// field is read once, its vertical bars noted on the way: paths are short,
// and a search per separator cost more than the scan.
class Fields {
 public:
  explicit Fields(std::string_view path) : rest_(path) {}

  bool Next(std::string_view& field) {
    if (done_) return false;
    size_t end = 0;
    bar_ = std::string_view::npos;
    bars_ = 0;
    for (; end < rest_.size() && rest_[end] != '\\'; ++end) {
      if (rest_[end] == '|' && bars_++ == 0) bar_ = end;
    }
    field = rest_.substr(0, end);
    if (end == rest_.size()) {
      done_ = true;
    } else {
      rest_.remove_prefix(end + 1);
    }
    return true;
  }
  // Of the field Next gave last: where its first bar is (npos: none), and
  // whether it has more than one.
  size_t Bar() const noexcept { return bar_; }
  bool SecondBar() const noexcept { return bars_ > 1; }

 private:
  std::string_view rest_;
  bool done_ = false;
  size_t bar_ = std::string_view::npos;
  size_t bars_ = 0;
};

struct Parsed {
  long version = 2;
  EAD_DeviceType type = EAD_DeviceType_None;
  DeviceId id;
  std::string container;
};

void TakeLegacyIdentifier(long n, std::string_view raw, Parsed& fields) {
  if (n <= 0) return;
  DeviceId id;
  if (raw.empty()) {
    if (n > kMaxLegacyZeroIdentifier) return;
    id.assign(static_cast<size_t>(n), 0);
  } else {
    // Never read past the end of the raw field, whatever n says.
    const size_t take = std::min(static_cast<size_t>(n), raw.size());
    id.assign(raw.begin(), raw.begin() + static_cast<std::ptrdiff_t>(take));
  }
  std::replace(id.begin(), id.end(), BYTE{0xFF}, BYTE{0x00});
  std::replace(id.begin(), id.end(), BYTE{0x3F}, BYTE{0x00});
  fields.id = std::move(id);
}

}  // namespace

HRESULT ParseADPath(const std::string& path, IADPathProps** out) {
  if (!out || path.empty()) return E_INVALIDARG;

  Parsed fields;
  Fields split(path);
  for (std::string_view text; split.Next(text);) {
    const size_t bar = split.Bar();
    if (bar == std::string_view::npos || split.SecondBar()) continue;
    const std::string_view key = text.substr(0, bar);
    const std::string_view value = text.substr(bar + 1);
    long k = 0;
    if (!detail::ReadLong32(key, k) || k < 1 || k > 17) continue;

    long number = 0;
    switch (k) {
      case 1:
        if (detail::ReadLong32(value, number)) fields.version = number;
        break;
      case 5:
        if (detail::ReadLong32(value, number)) fields.type = static_cast<EAD_DeviceType>(number);
        break;
      case 8: fields.container.assign(value); break;
      case 17:
        if (fields.version == 2) detail::TextToIdentifier(fields.type, value, fields.id);
        break;
      case 7:
        if (fields.version == 1 && detail::ReadLong32(value, number)) {
          // The next field is raw identifier data, not a key and value.
          std::string_view raw;
          if (split.Next(raw)) TakeLegacyIdentifier(number, raw, fields);
        }
        break;
      default: break;
    }
  }

  if (fields.type == EAD_DeviceType_None || fields.id.empty()) return E_UNEXPECTED;
  auto* props = new detail::ADPathProps(fields.type, std::move(fields.id), std::move(fields.container));
  props->AddRef();
  *out = props;
  return S_OK;
}

}  // namespace keydepot::ad

namespace keydepot::detail {

HRESULT ADPathProps::GetDeviceIDText(std::string& text) const {
  if (type_ == EAD_DeviceType_None || id_.empty()) return E_UNEXPECTED;
  try {
    return IdentifierToText(type_, id_, text);
  } catch (long code) {  // a device-type filter that cannot be opened
    return static_cast<HRESULT>(code);
  }
}

}  // namespace keydepot::detail
