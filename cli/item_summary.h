// What a stored item is: certificates, certificate requests, private and
// public keys, in PEM (every block of a file) or DER. Certificates and
// public keys are read with the system's certificate library
// (der_reader.h); private keys only by the outer fields of their structure,
// never decoded. Of a private key or of unrecognised data no byte goes into
// a description: a key is told by type and size, an unknown PEM block by its
// label, other data by its size and, for text, its number of lines. The same
// item gives the same description on every system.
#pragma once

#include <kdplatform/wiped_bytes.h>

#include "output.h"

#include <cstddef>
#include <string>

namespace kdcli {

// {"bytes": N, "encoding": "PEM" | "DER" | "unknown", "objects": [...]} and,
// for unrecognised text, "lines": N.
Json DescribeItem(const unsigned char* data, std::size_t size);

// What keydepot save --as certificate stores: the DER of a text's one PEM
// block when it is a CERTIFICATE, the bytes as they are when they hold no
// PEM block (the token checks them), nothing for other PEM.
kdp::WipedBytes CertificateDer(const unsigned char* data, std::size_t size);
// The description as lines for people, the first naming the path.
void PrintDescription(const std::string& path, const Json& description);
// One line: "certificate CN = a, O = b (EC 256 bits, until 2027-01-01)".
std::string SummaryLine(const Json& description);

}  // namespace kdcli
