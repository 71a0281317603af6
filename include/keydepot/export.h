// KEYDEPOT_API marks what the keydepot library exports; everything else in it
// is hidden.
#pragma once

#if defined(_WIN32)
#if defined(KEYDEPOT_BUILDING)
#define KEYDEPOT_API __declspec(dllexport)
#else
#define KEYDEPOT_API __declspec(dllimport)
#endif
#else
#define KEYDEPOT_API __attribute__((visibility("default")))
#endif
