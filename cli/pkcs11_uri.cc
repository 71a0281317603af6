#include "pkcs11_uri.h"

#include "device_lookup.h"
#include "failure.h"
#include "output.h"

#include <keydepot/keydepot.h>

#include <cctype>

namespace kdcli {

namespace {

struct TokenDevice {
  FoundDevice found;
  AD_TokenInfo info{};
};

std::vector<TokenDevice> AttachedTokens(DWORD session) {
  std::vector<TokenDevice> tokens;
  for (ComPtr<IAD_Device>& device : AttachedDevices(session)) {
    const std::optional<AD_TokenInfo> info = TokenInfoOf(device.get());
    if (!info) continue;
    TokenDevice token{{std::move(device), {}, {}}, *info};
    token.found.name = DisplayName(token.found.device.get());
    Guarded("cannot name the device",
            [&] { return keydepot::ad::MakeDevicePath(token.found.device.get(), token.found.devicePath); });
    tokens.push_back(std::move(token));
  }
  return tokens;
}

std::string HexText(const std::vector<std::uint8_t>& bytes) { return HexBytes(bytes.data(), bytes.size()); }

// The container whose objects carry the URI's id.
std::string ContainerOfId(const TokenDevice& token, const std::vector<std::uint8_t>& id) {
  ComPtr<IAD_TokenInfo> info;
  token.found.device->QueryInterface(IID_IAD_TokenInfo, info.put_void());
  char name[AD_NAME_BUFFER] = {};
  const HRESULT hr = info ? info->GetContainerOfId(static_cast<DWORD>(id.size()), id.data(), name) : E_NOINTERFACE;
  if (hr == HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND)) {
    throw Failure(kNotFound, token.found.Label() + " shows no key container with the CKA_ID " + HexText(id) +
                                 " (keydepot containers lists them; a container of private objects only is seen "
                                 "only after a PIN was given)");
  }
  if (FAILED(hr))
    FailWithHresult("cannot find the container of CKA_ID " + HexText(id) + " on " + token.found.Label(), hr);
  return name;
}

}  // namespace

bool IsPkcs11Uri(std::string_view text) {
  constexpr std::string_view kScheme = "pkcs11:";
  if (text.size() < kScheme.size()) return false;
  for (std::size_t i = 0; i < kScheme.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(text[i])) != kScheme[i]) return false;
  }
  return true;
}

std::optional<AD_TokenInfo> TokenInfoOf(IAD_Device* device) {
  ComPtr<IAD_TokenInfo> info;
  device->QueryInterface(IID_IAD_TokenInfo, info.put_void());
  AD_TokenInfo fields{};
  if (!info || FAILED(info->GetTokenInfo(&fields))) return std::nullopt;
  return fields;
}

std::string ResolvePkcs11Uri(const Pkcs11Uri& uri) {
  // Joins the silent session the command opened (its filter applies), or
  // opens it with the shared filter, as the designations' search does.
  std::optional<keydepot::ad::Session> session;
  Guarded("cannot open a device session", [&] {
    session.emplace(nullptr);
    return S_OK;
  });
  std::vector<TokenDevice> matching;
  for (TokenDevice& token : AttachedTokens(*session)) {
    if (uri.MatchesToken(token.info)) matching.push_back(std::move(token));
  }
  if (matching.empty()) {
    throw Failure(kNotFound, "no attached token matches the PKCS#11 URI (keydepot devices shows each token's URI)");
  }
  if (matching.size() > 1) {
    std::string names;
    for (const TokenDevice& token : matching) names += (names.empty() ? "" : "; ") + token.found.Label();
    throw Failure(kBadPath, "the PKCS#11 URI matches " + std::to_string(matching.size()) + " attached tokens (" +
                                names + "); add serial= to choose one (keydepot devices shows each token's URI)");
  }
  const TokenDevice& token = matching.front();
  const std::string name = uri.id() ? ContainerOfId(token, *uri.id()) : uri.object();
  if (name.find_first_of("\\|") != std::string::npos) {
    throw Failure(kBadPath, "the PKCS#11 URI names '" + name + "' on " + token.found.Label() +
                                ", and a name holding '\\' or '|' cannot go into a device path");
  }
  return token.found.devicePath + name;
}

}  // namespace kdcli
