// A self-signed X.509 certificate (P-256, CN=keydepot test, serial 0x0102,
// made once with openssl req -x509) for the tests of certificate objects.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace keydepot::test {

inline std::vector<std::uint8_t> FromHex(const std::string& hex) {
  std::vector<std::uint8_t> bytes;
  for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
    bytes.push_back(static_cast<std::uint8_t>(std::stoi(hex.substr(i, 2), nullptr, 16)));
  return bytes;
}

inline std::vector<std::uint8_t> Certificate() {
  return FromHex(
      "308201753082011ba00302010202020102300a06082a8648ce3d04030230183116301406035504030c0d6b65796465706f742074657374"
      "3020170d3236313230373033303032395a180f32313236313131333033303032395a30183116301406035504030c0d6b65796465706f74"
      "20746573743059301306072a8648ce3d020106082a8648ce3d030107034200044f52b52d61b5be67308041781c88087b47f879be3f9b48"
      "934beb2e6c875d2d367621cf23c4f59882d0870ec53da5f47e37f58581af6d35ff5d752fd09623af3fa3533051301d0603551d0e041604"
      "14e7ba558b825948b9f50383975baed0de74112809301f0603551d23041830168014e7ba558b825948b9f50383975baed0de7411280930"
      "0f0603551d130101ff040530030101ff300a06082a8648ce3d0403020348003045022100b9493631160c20fc3f10429bf5b8f71e28d891"
      "d47b23dd0718d278d98aa5bc570220673300dac853e99834373e13a0448e843f6c76eda30ae7217e8dd943bb596dd9");
}

// The encodings a certificate object repeats, as in Certificate().
inline constexpr char kSerialHex[] = "02020102";
inline constexpr char kNameHex[] = "30183116301406035504030c0d6b65796465706f742074657374";

}  // namespace keydepot::test
