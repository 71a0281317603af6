// KEYDEPOT_API marks what the keydepot library exports; everything else in it
// is hidden.
//
// KEYDEPOT_TYPE_API marks the API's classes that have virtual functions but
// no member defined in the library (CRefCnt, IADPathProps). On Linux their
// type information and virtual tables are exported, so that each is one
// across modules. On Windows nothing of them is: MinGW compares type
// information by name, and GCC would export with such a class the type
// information of every class the library derives from it.
#pragma once

#if defined(_WIN32)
#if defined(KEYDEPOT_BUILDING)
#define KEYDEPOT_API __declspec(dllexport)
#else
#define KEYDEPOT_API __declspec(dllimport)
#endif
#define KEYDEPOT_TYPE_API
#else
#define KEYDEPOT_API __attribute__((visibility("default")))
#define KEYDEPOT_TYPE_API KEYDEPOT_API
#endif
