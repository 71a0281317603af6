// TOOLS2_API marks what the toolkit library exports; everything else in it is
// hidden. Exception classes carry it too, so that their type information is
// one across modules and a throw in the toolkit is caught by its callers.
#pragma once

#if defined(_WIN32)
#if defined(TOOLS2_BUILDING)
#define TOOLS2_API __declspec(dllexport)
#else
#define TOOLS2_API __declspec(dllimport)
#endif
#else
#define TOOLS2_API __attribute__((visibility("default")))
#endif
