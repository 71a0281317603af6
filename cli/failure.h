// Failures of a command: thrown as Failure, printed once by main() on
// standard error ("keydepot <command>: <words>: <code>"), with --json also as
// {"error": ...} on standard output, and turned into the exit code. Codes are
// described by their value and, where known, their name. The exit codes, the
// Failure type and the code descriptions are the ones nodyx-admin uses too
// (toolsupport/).
#pragma once

#include <kdplatform/win32.h>
#include <kdtools/exit_codes.h>
#include <kdtools/failure.h>

#include <string>

namespace kdcli {

using kdtools::DescribeHresult;
using kdtools::DescribeToolsCode;
using kdtools::ExitCode;
using kdtools::Failure;
using enum kdtools::ExitCode;

// SCARD_W_CHV_BLOCKED: the device is locked after too many wrong PINs and
// takes none until it is unblocked (the software token and PKCS#11 tokens).
inline constexpr HRESULT kPinLocked = static_cast<HRESULT>(0x8010006Cu);
// NTE_BAD_KEY_STATE: the name is a key container on a PKCS#11 token with no
// certificate, and keys never leave the token.
inline constexpr HRESULT kKeyNotExported = static_cast<HRESULT>(0x8009000Bu);
// CRYPT_E_ASN1_BADTAG: what was to be saved as a certificate is not one.
inline constexpr HRESULT kNotACertificate = static_cast<HRESULT>(0x8009310Bu);

// What a device's failure code means, with the code's name ("the device is
// busy ... (ERROR_BUSY)"), for the codes devices answer when they are busy,
// gone, faulty, full, or refuse or have expired the PIN; "" for other codes.
std::string DeviceProblem(HRESULT hr);

// The exit code a failure code stands for.
ExitCode ExitCodeFor(HRESULT hr);

// Both say DeviceProblem's words before the code when it has some.
[[noreturn]] void FailWithHresult(const std::string& what, HRESULT hr);
// A toolkit code left by a storage or storage-path function (KDPGetLastError).
[[noreturn]] void FailWithToolsCode(const std::string& what, int code);

// Runs a library call that may throw its failure code as `long` (a device-type
// filter that cannot be opened) and turns that into a Failure.
template <class Call>
auto Guarded(const std::string& what, Call&& call) -> decltype(call()) {
  try {
    return call();
  } catch (long code) {
    FailWithHresult(what, static_cast<HRESULT>(code));
  }
}

}  // namespace kdcli
