// The PKCS#11 interface (types, constants, the function list), from
// p11-kit's pkcs11.h: a header only, usable without the p11-kit library and
// with any compiler. The component includes it through here only.
//
// On Windows PKCS#11 structures are packed to 1 byte, as every module there
// is built; the header does that itself (#pragma pack(push, cryptoki, 1)
// under _WIN32). The check below fails the build if a structure were ever
// laid out otherwise (CK_ULONG is 32 bits there, pointers 32 or 64).
#pragma once

// Parsed before the header's packing starts, so that nothing of the
// standard library is laid out with 1-byte packing.
#include <cstddef>

#include <p11-kit/pkcs11.h>

static_assert(sizeof(CK_ATTRIBUTE) == 2 * sizeof(CK_ULONG) + sizeof(CK_VOID_PTR),
              "PKCS#11 structures must be laid out as the modules of this system expect");
