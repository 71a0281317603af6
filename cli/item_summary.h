// What a stored item is, read with the system's certificate library
// (der_reader.h): certificates, certificate requests, private and public
// keys, in PEM (every block of a file) or DER. Keys are described by type
// and size only; no key material ever goes into a description. The same
// item gives the same description on every system.
#pragma once

#include "output.h"

#include <cstddef>
#include <string>

namespace kdcli {

// {"bytes": N, "encoding": "PEM" | "DER" | "unknown", "objects": [...]} and,
// for unrecognised bytes when preview is asked for, "preview": the first 16
// bytes in hex. Items under 64 bytes get no preview: an unknown item that
// small is most likely a raw key or a password.
Json DescribeItem(const unsigned char* data, std::size_t size, bool preview);
// The description as lines for people.
void PrintDescription(const Json& description);
// One line: "certificate CN = a, O = b (EC 256 bits, until 2027-01-01)".
std::string SummaryLine(const Json& description);

}  // namespace kdcli
